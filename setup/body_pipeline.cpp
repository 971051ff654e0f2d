#include "setup/body_pipeline.h"

#include <cstring>

#include "setup/http_transfer.h"

namespace {

// Enough to keep the worker busy while the network delivers the next reads.
constexpr int BUFFERS = 4;

}  // namespace

BodyPipeline::BodyPipeline(HANDLE file, win::Sha256& hash) : file_(file), hash_(hash) {
    for (int i = 0; i < BUFFERS; ++i) idle_.emplace_back().reserve(READ_CHUNK_BYTES);
    worker_ = std::thread([this] { Work(); });
}

BodyPipeline::~BodyPipeline() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool BodyPipeline::Push(const char* data, DWORD size) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !idle_.empty() || result_.error != 0; });
    if (result_.error != 0) return false;
    std::vector<char> buffer = std::move(idle_.back());
    idle_.pop_back();
    buffer.assign(data, data + size);
    queued_.push_back(std::move(buffer));
    lock.unlock();
    changed_.notify_all();
    return true;
}

BodyPipeline::Result BodyPipeline::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_.empty() && !busy_; });
    return result_;
}

void BodyPipeline::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
        if (queued_.empty()) return;  // closing, and nothing left
        std::vector<char> piece = std::move(queued_.front());
        queued_.pop_front();
        const bool failed = result_.error != 0;
        busy_ = true;
        lock.unlock();
        DWORD written = 0, error = 0;
        if (!failed) {
            const DWORD size = static_cast<DWORD>(piece.size());
            if (!::WriteFile(file_, piece.data(), size, &written, nullptr) || written != size) {
                error = ::GetLastError();
                if (error == 0) error = ERROR_WRITE_FAULT;
            } else {
                hash_.Update(piece.data(), piece.size());
            }
        }
        lock.lock();
        busy_ = false;
        if (!failed) {
            if (error != 0) {
                result_.error = error;
            } else {
                result_.written += written;
            }
        }
        idle_.push_back(std::move(piece));
        changed_.notify_all();
    }
}
