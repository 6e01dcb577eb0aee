// Shared by the fuzz targets: running one input on the interpreter's large stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// Runs work on a fresh large stack, as the interpreter itself does, so that deep inputs
// exercise the same recursion limits as a real run.
void RunOnLargeStack(const std::function<void()>& work);

inline std::string_view InputText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
