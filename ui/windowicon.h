#pragma once

#include <QIcon>

namespace scale {

// 32 by 32: a grey chip with black pins between two red arrows pointing outwards.
QIcon drawWindowIcon();

}  // namespace scale
