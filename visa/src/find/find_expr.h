#pragma once

#include "visa.h"

#include <cstdint>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace velq {

// What a found resource can report without being opened: numbers and strings by attribute id.
struct find_attrs {
    std::map<ViAttr, uint64_t> nums;
    std::map<ViAttr, std::string> strs;
};

// Fills the attributes that follow from a canonical resource name alone.
find_attrs find_attrs_from_name(const std::string &canonical);

// A resource search expression: a pattern matched against the whole canonical name, without
// regard to case, optionally followed by "{attribute expression}".
class find_expr {
public:
    // VI_SUCCESS or VI_ERROR_INV_EXPR.
    ViStatus compile(const std::string &expr);
    bool matches(const std::string &name, const find_attrs &attrs) const;

    struct node {
        enum kind { op_or, op_and, op_not, cmp } k = cmp;
        int a = -1, b = -1; // operand nodes
        ViAttr attr = 0;
        bool is_string = false;
        std::string op;     // "==", "!=", "<", ">", "<=", ">="
        uint64_t num = 0;
        std::string str;
    };

private:
    bool eval(int n, const find_attrs &attrs) const;

    std::regex m_re;
    std::vector<node> m_nodes;
    int m_root = -1; // no attribute part
};

} // namespace velq
