// Comparing and printing found-slave records in test expectations.
#pragma once

#include "program/btdevice/Btdevice.h"

#include <gtest/gtest.h>

#include <ostream>

inline bool operator==(const SLAVE& a, const SLAVE& b) {
    return a.id == b.id && a.name == b.name && a.detail == b.detail;
}

inline void PrintTo(const SLAVE& slave, std::ostream* out) {
    *out << "{" << ::testing::PrintToString(slave.id) << ", "
         << ::testing::PrintToString(slave.name) << ", " << ::testing::PrintToString(slave.detail)
         << "}";
}
