"""Posewright: start connected to the controller, add three poses, set a joint from the joint
list, capture the robot's current pose into the panel "Pose 2" by dragging the robot there, save
the page, and Exit with the keyboard focus in the joint list. The program ends with status 0,
the controller's page holds the pose and the settings keep the port."""
import re

from acceptance import check, dark

# The form's fixed layout (pixels from the top-left of the form, below the menu bar).
JOINT_LIST = (436, 8, 290, 400)
MAIN_VIEW = (8 + 210, 8 + 200)
PANEL_2 = (8 + 2 * 141 + 68, 448 + 75)
PAGE_SAVE = (734 + 129, 314 + 14)
ADD_POSE = (734 + 129, 410 + 14)
PAGE_1 = 0xE000 + 512  # page 1's slot in the controller's motion data


def value_cell(index):
    """The centre of a joint's value cell in the joint list."""
    return (JOINT_LIST[0] + 160 + 20, JOINT_LIST[1] + 20 + 20 * index + 9)


def form_top(s, win):
    """Where the form starts under the menu bar, whose height follows the font: the first white
    row of the joint list's column (the list is painted white)."""
    shot = s.screen(win)
    column = JOINT_LIST[0] + 100
    for row in range(shot.height - 20):
        if all(shot.pixel(column, row + k) == (255, 255, 255) for k in range(20)):
            return row - JOINT_LIST[1]
    return None


def joints(s):
    return dict(j.split(":") for j in s.dump()["joints"].split(","))


def run(s):
    s.start_sim()
    s.start("posewright", "--port", "COM3")
    win = s.window(r"^Posewright\(Tessaban\)$")
    s.focus(win)
    s.wait_for(lambda: s.dump()["mode"] == "screen", "the controller's page editor")
    top = s.wait_for(lambda: form_top(s, win), "the joint list")
    at = lambda p: (p[0], top + p[1])

    # The joint values are painted once the editor's first screen has arrived.
    cells = (JOINT_LIST[0] + 160, top + JOINT_LIST[1] + 20, 40, 160)
    s.wait_for(lambda: s.screen(win).count(cells, dark) > 50, "the joint values in the list")

    for _ in range(3):
        s.click(win, *at(ADD_POSE))
    first = sorted(joints(s), key=int)[0]
    s.click(win, *at(value_cell(0)))
    s.key("ctrl+a")
    s.type("600\r")
    s.wait_for(lambda: joints(s)[first] == "600", "joint %s to move to 600" % first)

    s.drag(win, at(MAIN_VIEW), at(PANEL_2))
    # Page Save: the controller writes the page into its slot; the form is usable again once
    # it has said so.
    slot = s.memory_bytes(PAGE_1, 512)
    s.click(win, *at(PAGE_SAVE))
    s.wait_for(lambda: s.memory_bytes(PAGE_1, 512) != slot, "page 1 in the controller's memory")
    s.wait_for(lambda: s.enabled(win, *at(PAGE_SAVE)), "the form after the save")

    # Exit from the menu while the joint list has the keyboard, as after any click on a joint.
    s.click(win, *at(value_cell(0)))
    s.menu("s", "x")
    check(s.exit_status() == 0, "Posewright ended with status %s" % s.program.returncode)
    port = s.settings().get("Posewright(Tessaban)/Settings/Com Port")
    check(port == "3", "the settings keep the port that connected (Com Port=%s)" % port)

    status, page = s.tool("motion", "page", "--port", "COM3", "--open", "1")
    check(status == 0, "tessaban motion page: " + page)
    row = re.search(r"^%s\s.*$" % first, page, re.M)  # ID, current value, poses 0 to 6
    poses = row.group(0).split()[-7:] if row else []
    check(poses[:3] == ["512", "512", "600"] and re.search(r"Number of pose\s*:\s*3", page),
          "the saved page has three poses, Pose 2 with joint %s at 600:\n%s" % (first, page))
