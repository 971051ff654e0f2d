#pragma once
// A host for in-process tests: answers message boxes from a script, records
// every box, the requested end of the process and the standard output.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

struct ShownBox {
    std::string text;
    std::string caption;
    UINT type = 0;
};

class FakeHost final : public SetupHost {
public:
    int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    void EndProcess(unsigned exitCode) override;
    void WriteStandardOutput(std::string_view text) override;

    // Answers for the next boxes, in order; afterwards every box gets IDOK.
    void Answer(int button) { answers.push_back(button); }

    std::deque<int> answers;
    std::vector<ShownBox> boxes;
    std::optional<unsigned> exitCode;
    std::string standardOutput;
};
