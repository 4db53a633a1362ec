#include "api/visa_session.h"

#include <algorithm>

namespace velq {

vi_instr::~vi_instr()
{
    if (tr)
        tr->close();
}

vi_table &vi_table::instance()
{
    // Never destroyed: sessions still open at exit must not be torn down after the transports'
    // own statics are gone, and a late call from another thread must find a live table.
    static vi_table *table = new vi_table;
    return *table;
}

bool vi_table::add(const std::shared_ptr<vi_object> &obj, ViSession rm)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (rm != VI_NULL) {
        const bool rm_alive = std::any_of(m_objects.begin(), m_objects.end(), [rm](const auto &o) {
            return o->handle == rm && o->kind == vi_kind::rm;
        });
        if (!rm_alive)
            return false;
    }
    for (;;) {
        const ViObject h = m_next++;
        if (h == VI_NULL)
            continue;
        const bool used = std::any_of(m_objects.begin(), m_objects.end(), [h](const auto &o) { return o->handle == h; });
        if (used)
            continue;
        obj->handle = h;
        obj->rm = rm == VI_NULL ? h : rm;
        m_objects.push_back(obj);
        return true;
    }
}

std::shared_ptr<vi_object> vi_table::find(ViObject handle)
{
    if (handle == VI_NULL)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &o : m_objects) {
        if (o->handle == handle)
            return o;
    }
    return nullptr;
}

std::vector<std::shared_ptr<vi_object>> vi_table::remove(ViObject handle)
{
    std::vector<std::shared_ptr<vi_object>> gone;
    if (handle == VI_NULL)
        return gone;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find_if(m_objects.begin(), m_objects.end(), [handle](const auto &o) { return o->handle == handle; });
    if (it == m_objects.end())
        return gone;
    const bool is_rm = (*it)->kind == vi_kind::rm;
    gone.push_back(*it);
    m_objects.erase(it);
    if (is_rm) {
        auto child = std::stable_partition(m_objects.begin(), m_objects.end(),
                                           [handle](const auto &o) { return o->rm != handle; });
        gone.insert(gone.end(), child, m_objects.end());
        m_objects.erase(child, m_objects.end());
    }
    return gone;
}

} // namespace velq
