#include "motion/RobotProfile.h"

#include "motion/ProfileText.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace motion {

namespace {

// Profiles are a few hundred bytes; anything far larger is not a profile and is not read whole.
constexpr std::streamoff kMaxProfileBytes = 1 << 20;

std::string folderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

bool readProfileFile(const std::string& path, std::string& text, std::string* error)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = path + ": " + std::strerror(errno ? errno : ENOENT);
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || size > kMaxProfileBytes) {
        if (error)
            *error =
                path + ": " +
                (size < 0 ? std::string(std::strerror(EIO)) : "the file is too large for a robot profile");
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        if (error)
            *error = path + ": " + std::strerror(EIO);
        return false;
    }
    text = buffer.str();
    return true;
}

void RobotProfile::clear()
{
    modelFile_.clear();
    folder_.clear();
    joints_.clear();
}

bool RobotProfile::load(const std::string& path, std::string* error)
{
    clear();
    std::string text;
    if (!readProfileFile(path, text, error))
        return false;
    return parse(text, error, folderOf(path));
}

bool RobotProfile::parse(std::string_view text, std::string* error, const std::string& sourceFolder)
{
    clear();
    auto refuse = [&](const std::string& why) {
        clear();
        if (error)
            *error = "The robot profile is damaged: " + why;
        return false;
    };

    ProfileLines lines(text);
    std::string_view line;
    std::string modelFile;
    if (lines.next(line)) {
        auto fields = splitProfileFields(line);
        if (fields.size() >= 2)
            modelFile = std::string(fields[1]);
    }
    int count = 0;
    if (lines.next(line)) {
        auto fields = splitProfileFields(line);
        if (fields.size() >= 2)
            if (auto n = parseProfileNumber(fields[1]))
                count = *n;
    }
    // The count sizes the joint arrays, so it is checked before anything is allocated.
    if (count < 0 || count > kMaxProfileDevices)
        return refuse("the joint count " + std::to_string(count) + " on line 2 is not between 0 and " +
                      std::to_string(kMaxProfileDevices) + ".");

    std::vector<ProfileJoint> joints(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!lines.next(line))
            continue; // a missing line still counts as one joint: its entry keeps its empty state
        auto fields = splitProfileFields(line);
        const std::string where = "line " + std::to_string(lines.lineNumber());
        std::optional<int> parsed;
        if (!fields.empty())
            parsed = parseProfileNumber(fields[0]);
        if (!parsed.has_value())
            return refuse(where + " has no joint index.");
        const int index = parsed.value();
        if (index < 0 || index >= count)
            return refuse(where + " gives the joint index " + std::to_string(index) +
                          ", which is not between 0 and " + std::to_string(count - 1) + ".");
        ProfileJoint& joint = joints[static_cast<size_t>(index)];
        if (fields.size() >= 2)
            if (auto id = parseProfileNumber(fields[1]))
                joint.id = *id;
        if (fields.size() >= 3)
            joint.name = std::string(fields[2]);
        if (fields.size() >= 4)
            if (auto value = parseProfileNumber(fields[3]))
                joint.initialValue = *value;
        joint.targetValue = joint.displayedValue = joint.initialValue;
    }

    modelFile_ = std::move(modelFile);
    folder_ = sourceFolder;
    joints_ = std::move(joints);
    return true;
}

std::string RobotProfile::modelPath() const
{
    if (modelFile_.empty())
        return {};
    // Profiles written on the original platform may use backslashes in the model path.
    std::string file = modelFile_;
    for (char& c : file)
        if (c == '\\')
            c = '/';
    if (file.front() == '/' || folder_.empty())
        return file;
    return folder_ + "/" + file;
}

int RobotProfile::indexOfId(int id) const
{
    for (size_t i = 0; i < joints_.size(); ++i)
        if (joints_[i].id == id)
            return static_cast<int>(i);
    return -1;
}

} // namespace motion
