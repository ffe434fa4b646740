#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "platform/geometry.h"

// Type encodings in the platform's notation ("v@:", "@@:{CGPoint=dd}"...),
// derived from C++ signatures at compile time, and the canonical C++ types a
// method implementation is called with. Every object pointer travels as
// Object*, every object result as Ref<Object>, so one encoding means one
// calling convention.
namespace tovik {

class Object;
class BlockBase;
class Class;
struct Selector;
using SEL = const Selector*;

template <class T>
using Ref = std::shared_ptr<T>;
template <class T>
using Weak = std::weak_ptr<T>;

template <class T>
struct TypeCode;

template <>
struct TypeCode<void> {
  using Canonical = void;
  static constexpr std::string_view code = "v";
};
template <>
struct TypeCode<bool> {
  using Canonical = bool;
  static constexpr std::string_view code = "B";
};
template <>
struct TypeCode<double> {
  using Canonical = double;
  static constexpr std::string_view code = "d";
};
// Integers travel as NSInteger / NSUInteger.
template <>
struct TypeCode<int> {
  using Canonical = std::int64_t;
  static constexpr std::string_view code = "q";
};
template <>
struct TypeCode<long> {
  using Canonical = std::int64_t;
  static constexpr std::string_view code = "q";
};
template <>
struct TypeCode<long long> {
  using Canonical = std::int64_t;
  static constexpr std::string_view code = "q";
};
template <>
struct TypeCode<unsigned long> {
  using Canonical = std::uint64_t;
  static constexpr std::string_view code = "Q";
};
template <>
struct TypeCode<unsigned long long> {
  using Canonical = std::uint64_t;
  static constexpr std::string_view code = "Q";
};
template <>
struct TypeCode<SEL> {
  using Canonical = SEL;
  static constexpr std::string_view code = ":";
};
template <>
struct TypeCode<Class*> {
  using Canonical = Class*;
  static constexpr std::string_view code = "#";
};
template <>
struct TypeCode<CGPoint> {
  using Canonical = CGPoint;
  static constexpr std::string_view code = "{CGPoint=dd}";
};
template <>
struct TypeCode<CGSize> {
  using Canonical = CGSize;
  static constexpr std::string_view code = "{CGSize=dd}";
};
template <>
struct TypeCode<CGRect> {
  using Canonical = CGRect;
  static constexpr std::string_view code = "{CGRect={CGPoint=dd}{CGSize=dd}}";
};
template <>
struct TypeCode<std::nullptr_t> {
  using Canonical = Object*;
  static constexpr std::string_view code = "@";
};
// Object arguments: any pointer to an object type.
template <class T>
requires std::is_base_of_v<Object, T>
struct TypeCode<T*> {
  using Canonical = Object*;
  static constexpr std::string_view code = std::is_base_of_v<BlockBase, T> ? "@?" : "@";
};
// Object results are strong references, so a method can return an object it
// just made.
template <class T>
requires std::is_base_of_v<Object, T>
struct TypeCode<Ref<T>> {
  using Canonical = Ref<Object>;
  static constexpr std::string_view code = std::is_base_of_v<BlockBase, T> ? "@?" : "@";
};

template <class T>
using Canonical = typename TypeCode<std::remove_cvref_t<T>>::Canonical;

namespace detail {
template <class R, class... A>
constexpr auto buildEncoding() {
  constexpr std::size_t size =
      TypeCode<R>::code.size() + 2 + (std::size_t{0} + ... + TypeCode<A>::code.size());
  std::array<char, size + 1> out{};
  std::size_t at = 0;
  auto put = [&](std::string_view part) {
    for (char c : part) out.at(at++) = c;
  };
  put(TypeCode<R>::code);
  put("@:");
  (put(TypeCode<A>::code), ...);
  return out;
}
}  // namespace detail

// The encoding of a method returning R and taking A... after self and _cmd.
template <class R, class... A>
inline constexpr auto kEncoding =
    detail::buildEncoding<std::remove_cvref_t<R>, std::remove_cvref_t<A>...>();

template <class R, class... A>
constexpr std::string_view encodingOf() {
  return {kEncoding<R, A...>.data(), kEncoding<R, A...>.size() - 1};
}

// A 64-bit digest of an encoding (FNV-1a), known at compile time, so that a
// message send checks the method's encoding with one comparison. The runtime
// refuses two encodings with one digest when it interns them.
constexpr std::uint64_t encodingDigest(std::string_view encoding) {
  std::uint64_t digest = 14695981039346656037ULL;
  for (const char c : encoding) {
    digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  }
  return digest;
}
// An object result travels either owned (Ref<T>: the caller gets a strong
// reference) or borrowed (T*: the object is kept alive by others, as a view
// in the tree a hit search runs through). The two share an encoding but not
// a calling convention, so their digests differ.
template <class R>
inline constexpr bool kBorrowedResult =
    std::is_pointer_v<R>&& std::is_base_of_v<Object, std::remove_cv_t<std::remove_pointer_t<R>>>;
inline constexpr std::uint64_t kBorrowedResultSalt = 0x5bd1e9955bd1e995ULL;
template <class R, class... A>
inline constexpr std::uint64_t kEncodingDigest = encodingDigest(encodingOf<R, A...>()) ^
                                                 (kBorrowedResult<std::remove_cvref_t<R>>
                                                      ? kBorrowedResultSalt
                                                      : 0);

}  // namespace tovik
