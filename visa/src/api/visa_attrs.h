#pragma once

#include "visa.h"

#include <string>

namespace velq {

struct vi_instr;
struct vi_object;

// Writes a string attribute or name, cut to the 256-byte buffers every caller provides.
void put_string(void *value, const std::string &s);

// Attributes of any object (resource manager, find list, session).
ViStatus attr_get_common(vi_object &obj, ViAttr attr, void *value);
// Attributes of an open session: its I/O settings, its resource, then its transport's own.
ViStatus attr_get_instr(vi_instr &in, ViAttr attr, void *value);
ViStatus attr_set_instr(vi_instr &in, ViAttr attr, ViAttrState value);

} // namespace velq
