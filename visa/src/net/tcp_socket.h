#pragma once

#include "visa.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

struct iovec;

namespace velq {

// An absolute end time for a whole VISA call, so that a reply trickling in byte by byte cannot
// stretch a read past VI_ATTR_TMO_VALUE.
class tcp_deadline {
public:
    static tcp_deadline after_ms(ViUInt32 ms); // VI_TMO_INFINITE never passes
    static tcp_deadline after(std::chrono::milliseconds span);
    static tcp_deadline never();
    bool infinite() const { return m_infinite; }
    bool passed() const;
    int poll_ms() const; // for poll(): -1 when infinite, 0 once passed, else the rest rounded up
    // What is left as a time-out to hand on to a peer: VI_TMO_INFINITE when infinite, 0 once passed.
    ViUInt32 remaining_ms() const;

private:
    bool m_infinite = false;
    std::chrono::steady_clock::time_point m_at;
};

// An eventfd in every poll set of a session: wake() lets another thread end a blocked call.
// It stays signalled, so a call that starts after wake() returns at once too.
class tcp_wakeup {
public:
    tcp_wakeup();
    ~tcp_wakeup();
    tcp_wakeup(const tcp_wakeup &) = delete;
    tcp_wakeup &operator=(const tcp_wakeup &) = delete;

    void wake();
    // Arms it again; only while no call is waiting on it.
    void reset();
    bool woken() const { return m_woken.load(); }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    std::atomic<bool> m_woken{false};
};

// All functions take the wakeup as optional (null = none) and return VI_ERROR_ABORT once it fired.

// Non-blocking connect bounded by the deadline. Refused, unreachable or unknown hosts give
// VI_ERROR_RSRC_NFOUND, the deadline VI_ERROR_TMO. The socket is left non-blocking, close-on-exec.
ViStatus tcp_connect(const std::string &host, ViUInt16 port, const tcp_deadline &deadline,
                     const tcp_wakeup *wakeup, int *fd_out, std::string *peer_address = nullptr);

// Waits until fd is ready for events (POLLIN/POLLOUT). VI_SUCCESS, VI_ERROR_TMO, VI_ERROR_ABORT.
ViStatus tcp_wait(int fd, short events, const tcp_deadline &deadline, const tcp_wakeup *wakeup);

// Sends every byte (partial sends, EINTR and EAGAIN handled; a vanished peer gives an error, never
// SIGPIPE). *sent counts what went out, so a caller can finish a frame cut short by a time-out.
ViStatus tcp_send_all(int fd, const void *buf, size_t len, size_t *sent, const tcp_deadline &deadline,
                      const tcp_wakeup *wakeup);
// The same for buffers gathered into as few sends as the kernel takes (header and payload); at most
// tcp_max_iov of them.
constexpr int tcp_max_iov = 8;
ViStatus tcp_send_all_v(int fd, const iovec *iov, int count, size_t *sent, const tcp_deadline &deadline,
                        const tcp_wakeup *wakeup);

// Receives what is available, waiting for at least one byte. VI_ERROR_CONN_LOST when the peer
// hung up, VI_ERROR_TMO when nothing arrived in time.
ViStatus tcp_recv_some(int fd, void *buf, size_t cap, size_t *got, const tcp_deadline &deadline,
                       const tcp_wakeup *wakeup);

// Receives exactly len bytes (fixed-size headers, record fragments); *got counts what arrived.
ViStatus tcp_recv_exact(int fd, void *buf, size_t len, size_t *got, const tcp_deadline &deadline,
                        const tcp_wakeup *wakeup);

// Throws away input already queued on the socket without waiting, at most limit bytes (a peer
// that streams without end must not keep us here). Returns the bytes discarded.
size_t tcp_discard_input(int fd, size_t limit);

// For a strict request/reply exchange (RPC): the reply is never there yet when the wait starts, so
// poll() before each receive would cost two more system calls per call. Here the wait is one
// blocking recv() on a socket made blocking (tcp_set_blocking), bounded by SO_RCVTIMEO in slices
// of at most a second; *rcvtimeo_ms remembers the option's value (start at -1). The wake-up cannot
// reach a blocked recv(), so whoever fires it must also shut the socket down.
ViStatus tcp_recv_blocking(int fd, void *buf, size_t cap, size_t *got, const tcp_deadline &deadline,
                           const tcp_wakeup *wakeup, int *rcvtimeo_ms);

bool tcp_set_blocking(int fd, bool on);
bool tcp_set_nodelay(int fd, bool on);
bool tcp_set_keepalive(int fd, bool on);
void tcp_close(int *fd);

} // namespace velq
