#pragma once
// A growable array of trivially copyable elements for huge tables: address space for the size
// it is expected to reach is reserved up front and committed only as it grows, so it neither
// moves nor holds unused committed memory while the estimate holds. Past the reservation it
// moves once into a reservation twice as large, like a vector.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace kv {

namespace detail {
// Reserve and commit whole pages; Reserve returns nullptr when the address space is lacking.
void* ReserveAddressSpace(size_t bytes);
bool CommitPages(void* base, size_t bytes); // commits [base, base + bytes)
void ReleaseAddressSpace(void* base, size_t bytes);
} // namespace detail

template <class T> class ReservedBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ReservedBuffer() = default;
    ~ReservedBuffer() { Reset(); }
    ReservedBuffer(ReservedBuffer&& o) noexcept { Swap(o); }
    ReservedBuffer& operator=(ReservedBuffer&& o) noexcept {
        if (this != &o) {
            Reset();
            Swap(o);
        }
        return *this;
    }
    ReservedBuffer(const ReservedBuffer&) = delete;
    ReservedBuffer& operator=(const ReservedBuffer&) = delete;

    // Drops the contents and reserves room for at most maxCount elements; throws bad_alloc.
    void Reserve(size_t maxCount) {
        Reset();
        if (maxCount == 0) return;
        if (maxCount > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        reservedBytes_ = maxCount * sizeof(T);
        data_ = static_cast<T*>(detail::ReserveAddressSpace(reservedBytes_));
        if (!data_) {
            reservedBytes_ = 0;
            throw std::bad_alloc();
        }
        capacity_ = maxCount;
    }
    void Reset() {
        if (data_) detail::ReleaseAddressSpace(data_, reservedBytes_);
        data_ = nullptr;
        size_ = capacity_ = committed_ = reservedBytes_ = 0;
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

    // Makes room for n more elements and returns where they go; Added(n) then counts them in.
    // Throws bad_alloc when memory or address space is lacking.
    T* Grow(size_t n) {
        const size_t need = size_ + n;
        if (need > capacity_) Relocate(need);
        if (need > committed_) CommitUpTo(need);
        return data_ + size_;
    }
    void Added(size_t n) { size_ += n; }
    void push_back(const T& v) {
        *Grow(1) = v;
        ++size_;
    }
    void Resize(size_t n) {
        if (n > size_) {
            std::memset(static_cast<void*>(Grow(n - size_)), 0, (n - size_) * sizeof(T));
        }
        size_ = n;
    }

private:
    void CommitUpTo(size_t need) {
        constexpr size_t kStep = 1u << 20; // bytes per commit
        size_t bytes = need * sizeof(T);
        bytes = (bytes + kStep - 1) / kStep * kStep;
        if (bytes > reservedBytes_) bytes = reservedBytes_;
        if (!detail::CommitPages(data_, bytes)) throw std::bad_alloc();
        committed_ = bytes / sizeof(T);
    }
    void Relocate(size_t need) {
        ReservedBuffer bigger;
        bigger.Reserve(std::max(need, capacity_ * 2));
        if (size_ > 0) {
            std::memcpy(static_cast<void*>(bigger.Grow(size_)), data_, size_ * sizeof(T));
            bigger.Added(size_);
        }
        Swap(bigger);
    }
    void Swap(ReservedBuffer& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(capacity_, o.capacity_);
        std::swap(committed_, o.committed_);
        std::swap(reservedBytes_, o.reservedBytes_);
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t committed_ = 0;
    size_t reservedBytes_ = 0;
};

} // namespace kv
