#pragma once
// A link and a form for driving EditorCore without a controller or widgets.

#include "posewright_core/EditorCore.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace posewrighttest {

struct FakePort : posewright::EditorPort {
    bool open = false;
    bool connectSucceeds = true;
    std::vector<std::string> connects;
    std::vector<std::pair<std::string, bool>> sent; // command, long wait
    std::function<void()> onTick;
    int ticks = 0;
    int tickDepth = 0;
    int deepestTick = 0;
    bool decodeAsItArrives = false;

    bool connect(const std::string& name) override
    {
        connects.push_back(name);
        open = connectSucceeds;
        return open;
    }
    void disconnect() override { open = false; }
    void setDecodeAsItArrives(bool on) override { decodeAsItArrives = on; }
    bool isOpen() const override { return open; }
    bool send(const std::string& command, bool longWait) override
    {
        sent.emplace_back(command, longWait);
        return open;
    }
    void tick() override
    {
        ++ticks;
        ++tickDepth;
        deepestTick = std::max(deepestTick, tickDepth);
        if (onTick)
            onTick();
        --tickDepth;
    }
    std::vector<std::string> commands() const
    {
        std::vector<std::string> out;
        for (const auto& s : sent)
            out.push_back(s.first);
        return out;
    }
};

struct FakeSurface : posewright::EditorSurface {
    std::vector<bool> answers; // Yes/No answers in order; No when they run out
    std::vector<std::string> questions;
    std::function<void()> whileAsking;
    std::optional<int> chosenPort;
    std::map<int, int> mainTargets;
    std::map<std::pair<int, int>, int> panelTargets;
    std::vector<int> resetDrags;
    int viewResets = 0;

    bool askYesNo(const std::string& text) override
    {
        questions.push_back(text);
        if (whileAsking)
            whileAsking();
        if (answers.empty())
            return false;
        bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::vector<posewright::SaveChoice> saveChoices; // Discard when they run out
    std::vector<std::string> saveQuestions;
    posewright::SaveChoice askSaveChanges(const std::string& text) override
    {
        saveQuestions.push_back(text);
        if (saveChoices.empty())
            return posewright::SaveChoice::Discard;
        const auto c = saveChoices.front();
        saveChoices.erase(saveChoices.begin());
        return c;
    }
    std::optional<int> choosePort(int) override { return chosenPort; }
    void setMainTarget(int id, int value) override { mainTargets[id] = value; }
    void setPanelTarget(int pose, int id, int value) override { panelTargets[{pose, id}] = value; }
    void resetDrag(int panel) override { resetDrags.push_back(panel); }
    void resetViews() override { ++viewResets; }
    void stateChanged() override {}
};

inline motion::LinkEvent event(motion::LinkEventCode code, int index = 0, int value = 0, bool present = true,
                               bool known = true, const std::string& text = {}, int secondIndex = 0)
{
    motion::LinkEvent e;
    e.code = code;
    e.index = index;
    e.secondIndex = secondIndex;
    e.value = value;
    e.present = present;
    e.known = known;
    e.text = text;
    return e;
}

inline motion::LinkEvent message(const std::string& text)
{
    return event(motion::LinkEventCode::MessageChanged, 0, 0, false, false, text);
}

inline motion::LinkEvent pageInfo(int index, int value)
{
    return event(motion::LinkEventCode::PageInfoChanged, index, value);
}

// A core connected and showing page `page` of a robot with joints 1, 2 and 3.
struct Editor {
    FakePort port;
    FakeSurface surface;
    posewright::EditorCore core{port, surface};

    explicit Editor(int page = 3)
    {
        core.setProfileJoints({{1, "R shoulder"}, {2, "L shoulder"}, {3, "R elbow"}});
        core.connectTo(4);
        core.onLinkEvent(event(motion::LinkEventCode::EditScreenChanged, 0, 1, true));
        for (int id = 1; id <= 3; ++id)
            core.onLinkEvent(event(motion::LinkEventCode::CurrentJointChanged, id, 500 + id));
        core.onLinkEvent(pageInfo(1, page));
        port.sent.clear();
    }
};

} // namespace posewrighttest
