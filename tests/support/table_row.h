#pragma once
// The position of a row in the table a loop runs over, for SCOPED_TRACE: a failing row says
// which it is.
#include <cstddef>
#include <iterator>

namespace orbisk::test {

template <class Table, class Row>
std::ptrdiff_t RowOf(const Table& table, const Row& row) {
    return &row - &*std::begin(table);
}

}  // namespace orbisk::test

// Names the row `row` of `table` in every failure inside the current scope.
#define TRACE_ROW(table, row) \
    SCOPED_TRACE(::testing::Message() << "row " << ::orbisk::test::RowOf(table, row))
