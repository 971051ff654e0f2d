#pragma once
// An observer that keeps what a run told it, for tests that look at the
// status texts, the progress and the questions of a run.
#include <mutex>
#include <string>
#include <vector>

#include "core/observer.h"

class RecordingObserver final : public RunObserver {
public:
    void Status(const std::string& text) override { Keep(statuses, text); }
    void LogLine(const std::string& line) override { Keep(lines, line); }
    void Progress(int percent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        progress.push_back(percent);
    }
    int Ask(const std::string& text, const std::string&, UINT) override {
        Keep(questions, text);
        return answer;
    }

    // Held while another thread reads the lists during a run.
    std::mutex& Mutex() { return mutex_; }

    std::vector<std::string> statuses, lines, questions;
    std::vector<int> progress;
    int answer = IDOK;

private:
    void Keep(std::vector<std::string>& list, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        list.push_back(text);
    }
    std::mutex mutex_;
};
