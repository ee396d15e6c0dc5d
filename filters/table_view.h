// A fixed table of rows that range-for walks: the stage table and the
// setting table are each one of these over a constant array.
#ifndef CHROMALINE_FILTERS_TABLE_VIEW_H_
#define CHROMALINE_FILTERS_TABLE_VIEW_H_

#include <cstddef>

template <typename Row>
struct TableView {
  const Row* rows;
  size_t count;
  const Row* begin() const { return rows; }
  const Row* end() const { return rows + count; }
};

#endif  // CHROMALINE_FILTERS_TABLE_VIEW_H_
