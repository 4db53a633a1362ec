#pragma once

#include "transport/read_loop.h"
#include "transport/transport.h"
#include "usbtmc/usbtmc_sys.h"

#include <atomic>
#include <memory>
#include <string>

namespace velq {

// USB INSTR through the kernel's usbtmc driver: the driver frames the bulk transfers, this class
// finds the node for a resource name in sysfs and maps END (EOM), clear, status byte, trigger and
// remote/local onto the driver's calls.
class usbtmc_transport : public transport, private read_source {
public:
    // sysfs_root is "/sys" and dev_root "/dev" outside tests.
    usbtmc_transport(std::shared_ptr<usbtmc_sys> sys, std::string sysfs_root, std::string dev_root);
    ~usbtmc_transport() override;

    ViStatus open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms) override;
    ViStatus write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) override;
    ViStatus read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) override;
    ViStatus clear(const io_attrs &attrs) override;
    ViStatus read_stb(ViUInt16 *stb, const io_attrs &attrs) override;
    ViStatus assert_trigger(ViUInt16 protocol, const io_attrs &attrs) override;
    ViStatus gpib_control_ren(ViUInt16 mode, const io_attrs &attrs) override;
    void interrupt() override;
    void close() override;
    ViStatus get_attribute(ViAttr attr, void *value) override;

private:
    ViStatus next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs, const tcp_deadline &deadline,
                        read_chunk *chunk) override;
    ViStatus set_timeout(ViUInt32 ms);
    ViStatus call(unsigned long request, void *arg = nullptr);

    std::shared_ptr<usbtmc_sys> m_sys;
    std::string m_sysfs_root;
    std::string m_dev_root;
    int m_fd = -1;
    ViUInt32 m_driver_tmo = 0;
    int m_eom = -1; // what the driver was last told; -1 unknown
    ViInt16 m_intf = 0;
    std::atomic<bool> m_interrupted{false};
    read_loop m_reader{read_loop::term_scan::plain};
};

} // namespace velq
