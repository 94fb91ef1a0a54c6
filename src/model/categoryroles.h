#pragma once
// Data roles of the category tree's items: one definition for the model, the
// views, the category pickers and their tests.

#include <Qt>

namespace CategoryRole {
enum : int
{
    CateId = Qt::UserRole, // 256, qulonglong
    CateTree,              // 257, ids from the top down, joined by ","
    ParentCateId,          // 258, qulonglong
    CateVideoCount,        // 259, int
};
} // namespace CategoryRole
