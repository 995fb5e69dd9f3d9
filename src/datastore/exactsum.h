#pragma once

#include <cmath>
#include <vector>

// The sum of many doubles, exact until the final rounding, so it does not depend on
// the order of the terms: two stores holding the same numbers in another order give
// the same sum bit for bit. Shewchuk's partials with round-half-even at the end.
class ExactSum
{
public:
    void add(double x)
    {
        if (std::isnan(x))
            return;
        std::size_t kept = 0;
        for (double y : m_partials) {
            if (std::fabs(x) < std::fabs(y))
                std::swap(x, y);
            const double high = x + y;
            const double low = y - (high - x);
            if (low != 0.0)
                m_partials[kept++] = low;
            x = high;
        }
        m_partials.resize(kept);
        m_partials.push_back(x);
    }

    double value() const
    {
        std::size_t n = m_partials.size();
        if (n == 0)
            return 0.0;
        double high = m_partials[--n];
        double low = 0.0;
        while (n > 0) {
            const double x = high;
            const double y = m_partials[--n];
            high = x + y;
            low = y - (high - x);
            if (low != 0.0)
                break;
        }
        if (n > 0 && ((low < 0.0 && m_partials[n - 1] < 0.0) || (low > 0.0 && m_partials[n - 1] > 0.0))) {
            const double y = low * 2.0;
            const double x = high + y;
            if (y == x - high)
                high = x;
        }
        return high;
    }

    // The partials: non-overlapping and growing in magnitude; their sum is the exact sum.
    const std::vector<double> &partials() const { return m_partials; }

    // The exact sum with the opposite sign.
    ExactSum negated() const
    {
        ExactSum result;
        result.m_partials.reserve(m_partials.size());
        for (double partial : m_partials)
            result.m_partials.push_back(-partial);
        return result;
    }

private:
    std::vector<double> m_partials;
};
