// A visitor made of lambdas: overloaded{[](const A&) {...}, [](const B&) {...}}.
#pragma once

namespace lintkeeper {

template <class... F>
struct overloaded : F... {
  using F::operator()...;
};
// clang before 17 does not deduce the arguments of an aggregate template by itself.
template <class... F>
overloaded(F...) -> overloaded<F...>;

}  // namespace lintkeeper
