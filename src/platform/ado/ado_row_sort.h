#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <utility>

namespace ado::detail {

// Sorts row numbers in place by `less`, which must be a total order (ties broken by the rows themselves),
// with no memory beyond the call stack. A million rows of text compare mostly from memory the cache does not
// hold, so the partitioning tells `prefetch` which rows it will compare a few steps ahead:
// prefetch(row, true) for rows far ahead (load where the value is), prefetch(row, false) for those next to
// come (load the value).
template <typename Less, typename Prefetch> class RowSorter final
{
public:
    RowSorter(Less less, Prefetch prefetch) : less_(std::move(less)), prefetch_(std::move(prefetch)) {}

    void sort(quint32* first, quint32* last)
    {
        int depth = 0;
        for (std::ptrdiff_t n = last - first; n > 1; n /= 2)
            depth += 2;
        sortRange(first, last, depth);
    }

private:
    static constexpr std::ptrdiff_t kNear = 8;
    static constexpr std::ptrdiff_t kFar = 16;
    static constexpr std::ptrdiff_t kSmall = 24;

    void ahead(const quint32* at, const quint32* first, const quint32* last, std::ptrdiff_t step)
    {
        const quint32* nearby = at + step * kNear;
        const quint32* ahead = at + step * kFar;
        if (ahead >= first && ahead < last)
            prefetch_(*ahead, true);
        if (nearby >= first && nearby < last)
            prefetch_(*nearby, false);
    }

    void sortRange(quint32* first, quint32* last, int depth)
    {
        while (last - first > kSmall) {
            if (depth-- == 0) {
                std::make_heap(first, last, less_);
                std::sort_heap(first, last, less_);
                return;
            }
            quint32* pivot = partition(first, last);
            sortRange(pivot + 1, last, depth);
            last = pivot;
        }
        insertionSort(first, last);
    }

    // Median of three as the pivot, the rest split around it; returns where the pivot ends up.
    quint32* partition(quint32* first, quint32* last)
    {
        quint32* mid = first + (last - first) / 2;
        quint32* back = last - 1;
        if (less_(*mid, *first))
            std::swap(*mid, *first);
        if (less_(*back, *first))
            std::swap(*back, *first);
        if (less_(*back, *mid))
            std::swap(*back, *mid);
        std::swap(*first, *mid); // the median, leaving the smallest at mid and the largest at back
        const quint32 pivot = *first;
        quint32* i = first + 1;
        quint32* j = last;
        for (;;) {
            while (i < last && less_(*i, pivot)) {
                ++i;
                ahead(i, first, last, 1);
            }
            --j;
            while (j > first && less_(pivot, *j)) {
                --j;
                ahead(j, first, last, -1);
            }
            if (i >= j)
                break;
            std::swap(*i, *j);
            ++i;
        }
        std::swap(*first, *j);
        return j;
    }

    void insertionSort(quint32* first, quint32* last)
    {
        for (quint32* i = first + 1; i < last; ++i) {
            const quint32 row = *i;
            quint32* j = i;
            for (; j > first && less_(row, *(j - 1)); --j)
                *j = *(j - 1);
            *j = row;
        }
    }

    Less less_;
    Prefetch prefetch_;
};

template <typename Less, typename Prefetch>
void sortRows(quint32* first, quint32* last, Less less, Prefetch prefetch)
{
    RowSorter<Less, Prefetch>(std::move(less), std::move(prefetch)).sort(first, last);
}

} // namespace ado::detail
