// The deterministic random source the data generators share, so generated data repeats run to run.
#pragma once

#include <QUuid>
#include <cstdint>
#include <random>

namespace pemmo::bench {

class SeededRandom {
public:
    using result_type = std::mt19937_64::result_type;

    explicit SeededRandom(std::uint64_t seed)
        : m_engine(seed) {}

    static constexpr result_type min() { return std::mt19937_64::min(); }
    static constexpr result_type max() { return std::mt19937_64::max(); }
    result_type operator()() { return m_engine(); }

    bool chance(double probability) { return std::bernoulli_distribution(probability)(m_engine); }
    // Both ends included.
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    // A version 4 UUID made of the generator's own bits.
    QUuid uuid();

private:
    std::mt19937_64 m_engine;
};

} // namespace pemmo::bench
