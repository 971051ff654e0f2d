#pragma once
// A download's body written to its file and hashed on a thread of its own,
// so the next read from the network overlaps both: the reading thread only
// copies each piece into one of a few buffers.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "win/crypto.h"

class BodyPipeline {
public:
    // The file is written at its current position; the hash goes on from
    // where it is. Both are the pipeline's until Finish.
    BodyPipeline(HANDLE file, win::Sha256& hash);
    ~BodyPipeline();
    BodyPipeline(const BodyPipeline&) = delete;
    BodyPipeline& operator=(const BodyPipeline&) = delete;

    // Queues a copy of the bytes (waiting while every buffer is full);
    // false once a write has failed, and nothing more is taken.
    bool Push(const char* data, DWORD size);

    struct Result {
        std::uint64_t written = 0;  // bytes written whole and hashed
        DWORD error = 0;            // the failed write's error; 0 when none failed
    };
    // Waits until everything queued is written and hashed.
    Result Finish();

private:
    void Work();

    HANDLE file_;
    win::Sha256& hash_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<char>> idle_;  // buffers free for the next piece
    std::deque<std::vector<char>> queued_;
    bool busy_ = false;                    // the worker holds a piece
    bool closing_ = false;
    Result result_;
    std::thread worker_;
};
