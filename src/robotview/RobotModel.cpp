#include "robotview/RobotModel.h"

#include "robotview/XFileBounds.h"
#include "robotview/XSpace.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace robotview {

namespace {

namespace fs = std::filesystem;

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A file named by the profile or the scene: the name as written, resolved against the profile's
// folder; failing that, its bare file name in that folder. Empty when neither exists.
std::string locate(const std::string& folder, std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty())
        return {};
    std::error_code ec;
    fs::path written =
        fs::path(name).is_absolute() || folder.empty() ? fs::path(name) : fs::path(folder) / name;
    if (fs::is_regular_file(written, ec))
        return written.string();
    fs::path bare = (folder.empty() ? fs::path() : fs::path(folder)) / fs::path(name).filename();
    if (fs::is_regular_file(bare, ec))
        return bare.string();
    return {};
}

std::array<float, 4> colour4(const aiMaterial* m, const char* key, unsigned type, unsigned index,
                             const std::array<float, 4>& fallback)
{
    aiColor4D c;
    if (m->Get(key, type, index, c) != AI_SUCCESS)
        return fallback;
    return {c.r, c.g, c.b, c.a};
}

Material materialFrom(const aiMaterial* m, const std::string& folder)
{
    Material out;
    out.diffuse = colour4(m, AI_MATKEY_COLOR_DIFFUSE, out.diffuse);
    float opacity = 1;
    if (m->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS)
        out.diffuse[3] = opacity;
    // A mesh's own material lights its ambient part in its own colour.
    out.ambient = colour4(m, AI_MATKEY_COLOR_AMBIENT, out.diffuse);
    if (out.ambient[0] == 0 && out.ambient[1] == 0 && out.ambient[2] == 0)
        out.ambient = out.diffuse;
    auto specular = colour4(m, AI_MATKEY_COLOR_SPECULAR, {0, 0, 0, 1});
    auto emis = colour4(m, AI_MATKEY_COLOR_EMISSIVE, {0, 0, 0, 1});
    out.specular = {specular[0], specular[1], specular[2]};
    out.emissive = {emis[0], emis[1], emis[2]};
    m->Get(AI_MATKEY_SHININESS, out.power);
    aiString texture;
    if (m->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS)
        out.texturePath = locate(folder, texture.C_Str());
    return out;
}

} // namespace

bool RobotModel::fail(const std::string& why, std::string* error)
{
    loaded_ = false;
    error_ = why;
    if (error)
        *error = why;
    return false;
}

bool RobotModel::load(const std::string& profilePath, std::string* error)
{
    motion::RobotProfile profile;
    std::string why;
    if (!profile.load(profilePath, &why)) {
        profile_ = profile;
        jointFrames_.clear();
        frames_.clear();
        meshes_.clear();
        materials_.clear();
        return fail(why, error);
    }
    return load(profile, error);
}

RobotModel RobotModel::read(const std::string& profilePath)
{
    RobotModel model;
    model.load(profilePath);
    return model;
}

bool RobotModel::load(const motion::RobotProfile& profile, std::string* error)
{
    profile_ = profile;
    jointFrames_.assign(static_cast<size_t>(profile_.jointCount()), -1);
    frames_.clear();
    meshes_.clear();
    materials_.clear();
    world_ = Mat4::identity();
    loaded_ = false;
    error_.clear();

    if (!profile_.hasModel())
        return fail("The robot profile names no model file.", error);
    const std::string path = locate(profile_.folder(), profile_.modelFile());
    if (path.empty())
        return fail("The robot model " + profile_.modelPath() + " was not found.", error);

    // The counts are checked against the file's size before the importer allocates by them.
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in)
        return fail("The robot model " + path + " could not be read: " + std::strerror(errno ? errno : EIO),
                    error);
    const XFileBounds bounds = checkXFileBounds(bytes.str());
    if (!bounds.ok)
        return fail("The robot model " + path + " is damaged: " + bounds.why, error);

    Assimp::Importer importer;
    // Frame names must survive: no graph optimisation, no pre-transformed vertices, no instancing.
    // Left-handed output keeps the file's own coordinates, with matrices transposed.
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_GenNormals |
                                    aiProcess_JoinIdenticalVertices | aiProcess_ConvertToLeftHanded);
    if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
        return fail("The robot model " + path + " could not be read: " + importer.GetErrorString(), error);

    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        const aiMaterial* m = scene->mMaterials[i];
        materials_.push_back(materialFrom(m, profile_.folder()));
    }
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh* src = scene->mMeshes[i];
        Mesh mesh;
        mesh.vertices.reserve(std::size_t{src->mNumVertices} * Mesh::kFloatsPerVertex);
        for (unsigned v = 0; v < src->mNumVertices; ++v) {
            const aiVector3D& p = src->mVertices[v];
            Vec3 pos = xspace::pointFromX({p.x, p.y, p.z});
            Vec3 n =
                src->mNormals
                    ? xspace::directionFromX({src->mNormals[v].x, src->mNormals[v].y, src->mNormals[v].z})
                    : Vec3{0, 0, 1};
            float u = 0, t = 0;
            if (src->HasTextureCoords(0)) {
                u = src->mTextureCoords[0][v].x;
                t = src->mTextureCoords[0][v].y;
            }
            mesh.vertices.insert(mesh.vertices.end(), {pos.x, pos.y, pos.z, n.x, n.y, n.z, u, t});
        }
        for (unsigned f = 0; f < src->mNumFaces; ++f) {
            const aiFace& face = src->mFaces[f];
            if (face.mNumIndices != 3)
                continue; // points and lines left by triangulation are not drawn
            mesh.indices.insert(mesh.indices.end(), face.mIndices, face.mIndices + 3);
        }
        mesh.material = src->mMaterialIndex < materials_.size() ? static_cast<int>(src->mMaterialIndex) : -1;
        if (mesh.material >= 0) {
            aiString name;
            if (scene->mMaterials[mesh.material]->Get(AI_MATKEY_NAME, name) == AI_SUCCESS &&
                std::string(name.C_Str()) == AI_DEFAULT_MATERIAL_NAME)
                mesh.material = -1; // the importer's stand-in: our default material applies
        }
        meshes_.push_back(std::move(mesh));
    }

    // The frame tree in depth-first order, root first, keeping child and sibling order.
    auto add = [&](auto&& self, const aiNode* node, int parent) -> int {
        const int index = static_cast<int>(frames_.size());
        frames_.emplace_back();
        Frame& f = frames_.back();
        f.name = node->mName.C_Str();
        f.parent = parent;
        // The importer gives the file's row-vector matrix transposed.
        const aiMatrix4x4& a = node->mTransformation;
        std::array<float, 16> rows{};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                rows[static_cast<size_t>(r) * 4 + static_cast<size_t>(c)] = a[c][r];
        f.local = xspace::matrixFromRows(rows);
        for (unsigned i = 0; i < node->mNumMeshes; ++i)
            if (node->mMeshes[i] < meshes_.size())
                f.meshes.push_back(static_cast<int>(node->mMeshes[i]));
        int previous = -1;
        for (unsigned i = 0; i < node->mNumChildren; ++i) {
            const int child = self(self, node->mChildren[i], index);
            if (previous < 0)
                frames_[static_cast<size_t>(index)].firstChild = child;
            else
                frames_[static_cast<size_t>(previous)].nextSibling = child;
            previous = child;
        }
        return index;
    };
    add(add, scene->mRootNode, -1);

    for (int j = 0; j < profile_.jointCount(); ++j)
        jointFrames_[static_cast<size_t>(j)] =
            findFrame("ID_" + std::to_string(profile_.joints()[static_cast<size_t>(j)].id));
    loaded_ = true;
    return true;
}

int RobotModel::findFrame(const std::string& name) const
{
    for (size_t i = 0; i < frames_.size(); ++i)
        if (sameNameIgnoringCase(frames_[i].name, name))
            return static_cast<int>(i);
    return -1;
}

void RobotModel::setJointTarget(int id, int value)
{
    for (auto& joint : profile_.joints())
        if (joint.id == id)
            joint.targetValue = value & 0x3FF;
}

int RobotModel::targetValue(int jointIndex) const
{
    if (jointIndex < 0 || jointIndex >= jointCount())
        return 0;
    return profile_.joints()[static_cast<size_t>(jointIndex)].targetValue;
}

int RobotModel::displayedValue(int jointIndex) const
{
    if (jointIndex < 0 || jointIndex >= jointCount())
        return 0;
    return profile_.joints()[static_cast<size_t>(jointIndex)].displayedValue;
}

int RobotModel::jointFrame(int jointIndex) const
{
    if (jointIndex < 0 || jointIndex >= static_cast<int>(jointFrames_.size()))
        return -1;
    return jointFrames_[static_cast<size_t>(jointIndex)];
}

bool RobotModel::step()
{
    bool moved = false;
    auto& joints = profile_.joints();
    for (size_t j = 0; j < joints.size(); ++j) {
        auto& joint = joints[j];
        if (joint.targetValue == joint.displayedValue)
            continue;
        const int d = std::min(std::abs(joint.targetValue - joint.displayedValue), kMaxStepUnits);
        const bool up = joint.targetValue > joint.displayedValue;
        joint.displayedValue += up ? d : -d;
        const float a = up ? d * kJointUnit : -(d * kJointUnit);
        const int frame = j < jointFrames_.size() ? jointFrames_[j] : -1;
        if (frame >= 0) {
            Frame& f = frames_[static_cast<size_t>(frame)];
            f.local = xspace::turnAboutLocalZ(f.local, a);
        }
        moved = true;
    }
    return moved;
}

bool RobotModel::moving() const
{
    for (const auto& joint : profile_.joints())
        if (joint.targetValue != joint.displayedValue)
            return true;
    return false;
}

void RobotModel::frameWorlds(std::vector<Mat4>& out) const
{
    out.resize(frames_.size());
    for (size_t i = 0; i < frames_.size(); ++i) {
        const int parent = frames_[i].parent;
        out[i] = (parent >= 0 ? out[static_cast<size_t>(parent)] : world_) * frames_[i].local;
    }
}

} // namespace robotview
