// Owners of the platform's handles: each releases what it holds in its
// destructor, on every path out of the scope that acquired it.
#pragma once

#include "Platform.h"

#include <utility>

namespace ca {

template <class Handle, auto Release>
class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(Handle handle) noexcept : handle_(handle) {}
    UniqueAny(UniqueAny&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, Handle{}));
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle{}; }
    // For out-parameters: releases what is held and gives the slot to fill.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }
    void reset(Handle handle = Handle{}) noexcept {
        if (handle_ != Handle{}) Release(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

namespace release {
inline void Record(win::MsiHandle record) noexcept { win::MsiCloseHandle(record); }
inline void Key(win::HKey key) noexcept { win::RegCloseKey(key); }
inline void KernelHandle(win::Handle handle) noexcept { win::CloseHandle(handle); }
inline void Sid(win::Sid sid) noexcept { win::FreeSid(sid); }
}  // namespace release

using UniqueRecord = UniqueAny<win::MsiHandle, &release::Record>;
using UniqueHKey = UniqueAny<win::HKey, &release::Key>;
using UniqueHandle = UniqueAny<win::Handle, &release::KernelHandle>;
using UniqueSid = UniqueAny<win::Sid, &release::Sid>;

}  // namespace ca
