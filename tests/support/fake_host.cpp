#include "support/fake_host.h"

int FakeHost::ShowBox(HWND, const std::string& text, const std::string& caption, UINT type) {
    boxes.push_back({text, caption, type});
    if (answers.empty()) return IDOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeHost::EndProcess(unsigned code) {
    if (!exitCode) exitCode = code;
}

void FakeHost::WriteStandardOutput(std::string_view text) { standardOutput += text; }
