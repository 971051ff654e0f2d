#pragma once
// A download's body read from the network on a thread of its own: the run's
// thread writes and hashes one piece while the next comes in, and stops
// waiting the moment Cancel is confirmed, whatever the network does. A
// synchronous read cannot be ended from outside (closing its request does
// not end it in every WinHTTP), so a reader that was left is let finish on
// its own: it then closes the request itself.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "setup/http_transfer.h"
#include "win/handles.h"

class BodyReader {
public:
    // Takes the request over and starts reading at most `limit` bytes.
    BodyReader(win::InternetHandle request, std::uint64_t limit);
    // Waits for a reader that has ended; leaves one that still reads.
    ~BodyReader();
    BodyReader(const BodyReader&) = delete;
    BodyReader& operator=(const BodyReader&) = delete;

    enum class Next { Piece, End, Cancelled };
    // The next piece (swapped into `piece`, whose old buffer goes back to
    // the reader), the end of the body, or Cancelled once `cancelEvent` is set.
    Next Wait(HANDLE cancelEvent, std::vector<char>& piece);
    // After End: how the body ended and the system's error of a failed read.
    BodyEnd End() const;
    DWORD Error() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    std::thread reader_;
};
