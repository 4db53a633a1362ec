#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <sys/types.h>

namespace velq {

// The system calls the USBTMC transport makes on a /dev/usbtmcN node, behind one seam so that
// tests can put a scripted device in the kernel driver's place. Failures return -1 and set errno.
class usbtmc_sys {
public:
    virtual ~usbtmc_sys() = default;
    virtual int open(const std::string &path) = 0;
    virtual void close(int fd) = 0;
    virtual ssize_t read(int fd, void *buf, size_t len) = 0;
    virtual ssize_t write(int fd, const void *buf, size_t len) = 0;
    virtual int ioctl(int fd, unsigned long request, void *arg) = 0;
};

// The kernel's usbtmc driver.
std::shared_ptr<usbtmc_sys> usbtmc_sys_kernel();

} // namespace velq
