// The soaks' dice: every random choice of a run drawn from one seeded engine, so that a seed
// printed with a fault replays the same runs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>

class Dice {
  public:
    explicit Dice(std::uint64_t seed) : engine(seed) {}
    int upTo(int n) { return std::uniform_int_distribution<int>(0, n)(engine); }
    bool chance(int percent) { return upTo(99) < percent; }
    template <class T>
    T pick(std::initializer_list<T> list) {
        return *(list.begin() + upTo(static_cast<int>(list.size()) - 1));
    }

  private:
    std::mt19937_64 engine;
};
