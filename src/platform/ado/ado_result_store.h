#pragma once

#include "platform/ado/ado_types.h"

#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace ado::detail {

// Growable array of trivially copyable values on malloc/realloc. Large blocks grow by remapping instead of
// copying (glibc), and capacity that was never written does not count towards the resident set, so growing a
// million-row column needs no second copy of it at any time.
template <typename T> class PodBuffer final
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodBuffer() = default;
    ~PodBuffer() { std::free(data_); }
    PodBuffer(const PodBuffer&) = delete;
    PodBuffer& operator=(const PodBuffer&) = delete;
    PodBuffer(PodBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0))
    {}
    PodBuffer& operator=(PodBuffer&& other) noexcept
    {
        PodBuffer moved(std::move(other));
        std::swap(data_, moved.data_);
        std::swap(size_, moved.size_);
        std::swap(capacity_, moved.capacity_);
        return *this;
    }

    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }

    void push_back(T value)
    {
        if (size_ == capacity_)
            grow(size_ + 1);
        data_[size_++] = value;
    }
    void append(const T* values, std::size_t count)
    {
        if (count == 0)
            return;
        if (size_ + count > capacity_)
            grow(size_ + count);
        std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }
    // Makes room for `count` more values without initialising them and returns where they start.
    T* extend(std::size_t count)
    {
        if (size_ + count > capacity_)
            grow(size_ + count);
        T* start = data_ + size_;
        size_ += count;
        return start;
    }
    void resize(std::size_t count, T fill)
    {
        if (count > capacity_)
            reserve(count);
        for (std::size_t i = size_; i < count; ++i)
            data_[i] = fill;
        size_ = count;
    }
    void shrink(std::size_t count) noexcept
    {
        if (count < size_)
            size_ = count;
    }
    void clear() noexcept { size_ = 0; }
    void reserve(std::size_t count)
    {
        if (count <= capacity_)
            return;
        if (count > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        void* grown = std::realloc(data_, count * sizeof(T));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = count;
    }
    void release() noexcept
    {
        std::free(data_);
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

private:
    void grow(std::size_t needed)
    {
        std::size_t next = capacity_ < 16 ? 16 : capacity_ * 2;
        reserve(next < needed ? needed : next);
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Text → value conversions the store applies to what the driver delivers. Each returns false when the text
// is not a value of its kind.
bool parseInteger(std::string_view text, qint64& value) noexcept;
// Plain decimal notation; `fractionDigits` is the number of digits after the point.
bool parseDecimal(std::string_view text, qint64& mantissa, int& fractionDigits) noexcept;
// Any floating notation; `fractionDigits` is how many decimals the text shows in plain notation.
bool parseDouble(std::string_view text, double& value, int& fractionDigits) noexcept;
// YYYY-MM-DD, to days since 1970-01-01.
bool parseDate(std::string_view text, qint32& days) noexcept;
// YYYY-MM-DD HH:MM:SS with up to three fraction digits, to milliseconds since 1970-01-01 (no time zone).
bool parseDateTime(std::string_view text, qint64& msecs) noexcept;

// All values of one field, column-wise: numbers as numbers, text in one contiguous UTF-8 arena with offsets,
// a null bitmap that exists only once a null was seen. A value that does not fit the field's kind (SQLite
// stores whatever it is given) turns the column into text, keeping every value seen so far.
class ColumnStore final
{
public:
    ColumnStore(FieldType kind, int scale);

    FieldType kind() const noexcept { return kind_; }
    // Decimals shown for Decimal and Double columns.
    int scale() const noexcept { return scale_; }
    std::size_t size() const noexcept { return rows_; }

    bool isNull(std::size_t row) const noexcept
    {
        return !nulls_.empty() && (nulls_[row / 64] >> (row % 64) & 1U) != 0;
    }
    std::string_view text(std::size_t row) const noexcept
    {
        return {arena_.data() + offsets_[row], offsets_[row + 1] - offsets_[row]};
    }
    // Every text of the column end to end, row r's from texts() + textEnds()[r] to texts() + textEnds()[r +
    // 1].
    const char* texts() const noexcept { return arena_.data(); }
    const quint32* textEnds() const noexcept { return offsets_.data(); }
    // Integer values, Decimal mantissas and DateTime milliseconds.
    qint64 integer(std::size_t row) const noexcept { return ints_[row]; }
    double real(std::size_t row) const noexcept { return reals_[row]; }
    qint32 days(std::size_t row) const noexcept { return days_[row]; }
    // Starts loading a value from memory: `ahead` for where a text is, else the text or the number itself.
    void prefetch(std::size_t row, bool ahead) const noexcept
    {
        switch (kind_) {
        case FieldType::Text:
            if (ahead)
                __builtin_prefetch(offsets_.data() + row);
            else
                __builtin_prefetch(arena_.data() + offsets_[row]);
            break;
        case FieldType::Double:
            __builtin_prefetch(reals_.data() + row);
            break;
        case FieldType::Date:
            __builtin_prefetch(days_.data() + row);
            break;
        case FieldType::Integer:
        case FieldType::Decimal:
        case FieldType::DateTime:
            __builtin_prefetch(ints_.data() + row);
            break;
        }
    }

    void appendNull();
    void append(std::string_view utf8);

private:
    bool appendTyped(std::string_view utf8);
    bool appendDecimal(qint64 mantissa, int fractionDigits);
    void appendText(std::string_view utf8);
    void pushTextEnd();
    void setNullBit();
    void demoteToText();

    FieldType kind_;
    int scale_;
    std::size_t rows_ = 0;
    PodBuffer<qint64> ints_;
    PodBuffer<double> reals_;
    PodBuffer<qint32> days_;
    PodBuffer<quint32> offsets_;
    PodBuffer<char> arena_;
    PodBuffer<quint64> nulls_;
};

} // namespace ado::detail
