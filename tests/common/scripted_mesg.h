// A TMesg for tests: records every message and answers from a script instead of asking anyone.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "support/message.h"

namespace tarnwick::testing {

class ScriptedMesg : public TMesg {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style;
    };

    ScriptedMesg() { SetMesg(this); }
    ~ScriptedMesg() override { SetMesg(nullptr); }

    // The next question is answered with `button`; unscripted boxes answer OK, and unscripted
    // questions the answer that changes nothing (No, or Cancel where there is one).
    void Answer(int button) { answers_.push_back(button); }

    std::vector<Shown> shown;

protected:
    int ShowBox(const std::string& text, const std::string& caption, unsigned style,
                WindowHandle) override {
        shown.push_back({text, caption, style});
        if (!answers_.empty()) {
            const int button = answers_.front();
            answers_.pop_front();
            return button;
        }
        return UnattendedAnswer(style);
    }

private:
    std::deque<int> answers_;
};

}  // namespace tarnwick::testing
