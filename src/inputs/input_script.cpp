// Reading and playing input scripts.
#include "inputs/input_script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace {

enum MouseSlot { kX, kY, kLeft, kRight };

const char *const kKeyForm = "expected FRAME key down|up CODE";
const char *const kMouseForm = "expected FRAME mouse X Y [down|up] [left|right]";

struct LineError {
    std::string what;
};

int wholeNumber(const std::string &word, int most, const std::string &what) {
    int value = -1;
    const char *end = word.data() + word.size();
    auto [stop, error] = std::from_chars(word.data(), end, value);
    if (error != std::errc() || stop != end || value < 0 || value > most)
        throw LineError{"'" + word + "' is not " + what};
    return value;
}

double coordinate(const std::string &word) {
    std::istringstream in(word);
    double value = 0.0;
    if (!(in >> value) || !in.eof() || !std::isfinite(value))
        throw LineError{"'" + word + "' is not a number of pixels"};
    return value;
}

ScriptEvent keyEvent(const std::vector<std::string> &words, ScriptEvent event) {
    if (words.size() != 4 || (words[2] != "down" && words[2] != "up"))
        throw LineError{kKeyForm};
    event.kind = words[2] == "down" ? ScriptEvent::kKeyDown : ScriptEvent::kKeyUp;
    event.code = wholeNumber(words[3], kKeyCodes - 1, "a key code");
    if (!isKeyCode(event.code))
        throw LineError{"'" + words[3] + "' is not a key code"};
    return event;
}

ScriptEvent mouseEvent(const std::vector<std::string> &words, ScriptEvent event) {
    if (words.size() < 4 || words.size() > 6)
        throw LineError{kMouseForm};
    event.x = coordinate(words[2]);
    event.y = coordinate(words[3]);
    std::size_t at = 4;
    if (at < words.size() && (words[at] == "down" || words[at] == "up"))
        event.kind = words[at++] == "down" ? ScriptEvent::kMousePress : ScriptEvent::kMouseRelease;
    if (at < words.size() && (words[at] == "left" || words[at] == "right"))
        event.right = words[at++] == "right";
    if (at != words.size())
        throw LineError{kMouseForm};
    return event;
}

ScriptEvent parseLine(const std::vector<std::string> &words) {
    ScriptEvent event{0, ScriptEvent::kMouseMove, 0, 0.0, 0.0, false};
    event.frame = wholeNumber(words[0], std::numeric_limits<int>::max(), "a frame number");
    if (words.size() > 1 && words[1] == "key")
        return keyEvent(words, event);
    if (words.size() > 1 && words[1] == "mouse")
        return mouseEvent(words, event);
    throw LineError{"expected key or mouse after the frame"};
}

} // namespace

std::string parseInputScript(std::istream &in, const std::string &name, InputScript &script) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::vector<std::string> split;
        for (std::string word; words >> word;)
            split.push_back(word);
        if (split.empty())
            continue;
        try {
            script.events.push_back(parseLine(split));
        } catch (const LineError &e) {
            return name + ":" + std::to_string(number) + ": " + e.what;
        }
    }
    std::stable_sort(script.events.begin(), script.events.end(),
                     [](const ScriptEvent &a, const ScriptEvent &b) { return a.frame < b.frame; });
    return "";
}

void playScript(const InputScript &script, ScriptPlayer &player, int frame, Keyboard &keyboard) {
    player.leftPressed = false;
    for (; player.next < script.events.size(); ++player.next) {
        const ScriptEvent &event = script.events[player.next];
        if (event.frame > frame)
            break;
        double *mouse = player.mouse;
        switch (event.kind) {
        case ScriptEvent::kKeyDown:
            keyDown(keyboard, event.code);
            break;
        case ScriptEvent::kKeyUp:
            keyUp(keyboard, event.code);
            break;
        case ScriptEvent::kMouseMove:
        case ScriptEvent::kMousePress:
        case ScriptEvent::kMouseRelease:
            mouse[kX] = event.x;
            mouse[kY] = event.y;
            if (event.kind != ScriptEvent::kMouseMove)
                mouse[event.right ? kRight : kLeft] =
                    event.kind == ScriptEvent::kMousePress ? 1.0 : 0.0;
            if (event.kind == ScriptEvent::kMousePress && !event.right)
                player.leftPressed = true;
            break;
        }
    }
}
