#pragma once
// xcb replies are malloc'ed by the library and must be freed with free().
#include <cstdlib>
#include <memory>

namespace kx {

struct XReplyFreer {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, XReplyFreer>;

}  // namespace kx
