#pragma once

#include <tuple>

// What every backend reads of a method written as a captureless lambda: the
// receiver's C++ type, the arguments and the result.
namespace tovik::detail {

template <class F>
struct CallableTraits : CallableTraits<decltype(&F::operator())> {};
template <class C, class R, class Self, class... A>
struct CallableTraits<R (C::*)(Self*, A...) const> {
  using Result = R;
  using Receiver = Self;
  using Args = std::tuple<A...>;
};

}  // namespace tovik::detail
