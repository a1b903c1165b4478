// Shared pieces of the qvinst tests: row names and readable byte strings.
#pragma once

#include "tests/unit/table_rows.h"

#include <gtest/gtest.h>

namespace qvinst_test {

using table_rows::escaped;
using table_rows::row_name;

}  // namespace qvinst_test
