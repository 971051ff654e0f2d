#include "setup/body_reader.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// Pieces read ahead while the run's thread writes: enough to keep the
// network busy, little memory.
constexpr int BUFFERS = 4;

}  // namespace

struct BodyReader::State {
    win::InternetHandle request;
    std::uint64_t limit = 0;
    std::mutex mutex;
    std::condition_variable freed;   // a buffer came back, or the run's thread left
    win::KernelHandle arrived{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // a piece, or the end
    std::vector<std::vector<char>> idle;
    std::deque<std::vector<char>> ready;
    bool done = false;
    bool left = false;  // the run's thread no longer waits for this body
    BodyEnd end = BodyEnd::Complete;
    DWORD error = 0;
};

namespace {

void Read(const std::shared_ptr<BodyReader::State>& state) {
    std::uint64_t received = 0;
    BodyEnd end = BodyEnd::Complete;
    DWORD error = 0;
    while (received < state->limit) {
        std::vector<char> buffer;
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->freed.wait(lock, [&] { return !state->idle.empty() || state->left; });
            if (state->left) return;
            buffer = std::move(state->idle.back());
            state->idle.pop_back();
        }
        const std::uint64_t rest = state->limit - received;
        const DWORD ask = rest < READ_CHUNK_BYTES ? static_cast<DWORD>(rest) : READ_CHUNK_BYTES;
        buffer.resize(READ_CHUNK_BYTES);
        DWORD read = 0;
        if (!::WinHttpReadData(state->request.Get(), buffer.data(), ask, &read)) {
            error = ::GetLastError();
            end = IsTimeout(error) ? BodyEnd::Stalled : BodyEnd::ReadFailed;
            break;
        }
        if (read == 0) break;
        received += read;
        buffer.resize(read);
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->left) return;
        state->ready.push_back(std::move(buffer));
        ::SetEvent(state->arrived.Get());
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->end = end;
    state->error = error;
    ::SetEvent(state->arrived.Get());
}

}  // namespace

BodyReader::BodyReader(win::InternetHandle request, std::uint64_t limit) : state_(std::make_shared<State>()) {
    state_->request = std::move(request);
    state_->limit = limit;
    for (int i = 0; i < BUFFERS; ++i) state_->idle.emplace_back().reserve(READ_CHUNK_BYTES);
    // The reader holds the state, and with it the request, as long as it reads.
    reader_ = std::thread([state = state_] { Read(state); });
}

BodyReader::~BodyReader() {
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->left = true;
        done = state_->done;
    }
    state_->freed.notify_all();
    if (done) {
        reader_.join();
    } else {
        reader_.detach();  // it ends when its read does, and closes the request
    }
}

BodyReader::Next BodyReader::Wait(HANDLE cancelEvent, std::vector<char>& piece) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            if (!state_->ready.empty()) {
                std::vector<char> old = std::move(piece);
                piece = std::move(state_->ready.front());
                state_->ready.pop_front();
                if (old.capacity() > 0) {
                    state_->idle.push_back(std::move(old));
                    state_->freed.notify_all();
                }
                return Next::Piece;
            }
            if (state_->done) return Next::End;
        }
        const HANDLE events[] = {state_->arrived.Get(), cancelEvent};
        const DWORD count = cancelEvent ? 2 : 1;
        if (::WaitForMultipleObjects(count, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) return Next::Cancelled;
    }
}

BodyEnd BodyReader::End() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->end;
}

DWORD BodyReader::Error() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->error;
}
