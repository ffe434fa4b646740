#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/object.h"
#include "platform/runtime.h"

// Foundation values: strings, numbers, data, dates, arrays, dictionaries with
// string keys, and blocks.
namespace tovik {

// An immutable string of UTF-8 text (NSString). It may hold bytes that are
// not valid UTF-8, as a host can hand such bytes over.
class String : public Object {
 public:
  String(Class* isa, std::string text) : Object(isa), text_(std::move(text)) {}
  static Class* runtimeClass();
  static Ref<String> make(std::string_view text);

  [[nodiscard]] const std::string& utf8() const { return text_; }
  [[nodiscard]] bool isValidUTF8() const;
  // The canonical composition (NFC) of the text, computed once; the bytes as
  // they are when the text is not valid UTF-8.
  [[nodiscard]] const std::string& precomposedStringWithCanonicalMapping() const;
  // Literal equality of the text, as -[NSString isEqualToString:].
  [[nodiscard]] bool isEqualToString(const String* other) const {
    return other != nullptr && other->text_ == text_;
  }

 private:
  std::string text_;
  mutable std::once_flag composedOnce_;
  mutable std::string composed_;
};

// A number (NSNumber). Booleans are numbers, as on the platform. An
// unsigned number holds the whole range of a 64-bit unsigned integer, as a
// property list's integers do.
class Number : public Object {
 public:
  enum class Kind { Boolean, Integer, Unsigned, Real };
  // `integer` holds an unsigned number's bits.
  Number(Class* isa, Kind kind, std::int64_t integer, double real)
      : Object(isa), kind_(kind), integer_(integer), real_(real) {}
  static Class* runtimeClass();
  static Ref<Number> withBool(bool value);
  static Ref<Number> withInteger(std::int64_t value);
  static Ref<Number> withUnsignedInteger(std::uint64_t value);
  static Ref<Number> withDouble(double value);

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] bool boolValue() const;
  // As NSNumber converts: an unsigned number above INT64_MAX reads as its
  // two's-complement bits; a real saturates.
  [[nodiscard]] std::int64_t integerValue() const;
  // As NSNumber converts: a negative integer reads as its two's-complement
  // bits; a real saturates.
  [[nodiscard]] std::uint64_t unsignedIntegerValue() const;
  [[nodiscard]] double doubleValue() const;

 private:
  [[nodiscard]] bool isNegativeInteger() const { return kind_ != Kind::Unsigned && integer_ < 0; }

  Kind kind_;
  std::int64_t integer_;
  double real_;
};

// An immutable run of bytes (NSData).
class Data : public Object {
 public:
  Data(Class* isa, std::string bytes) : Object(isa), bytes_(std::move(bytes)) {}
  static Class* runtimeClass();
  static Ref<Data> make(std::string_view bytes);

  [[nodiscard]] const std::string& bytes() const { return bytes_; }
  [[nodiscard]] std::size_t length() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

// A point in time (NSDate): seconds since the reference date, the first
// instant of 1 January 2001 UTC.
class Date : public Object {
 public:
  Date(Class* isa, double sinceReferenceDate) : Object(isa), since_(sinceReferenceDate) {}
  static Class* runtimeClass();
  static Ref<Date> withTimeIntervalSinceReferenceDate(double seconds);

  [[nodiscard]] double timeIntervalSinceReferenceDate() const { return since_; }

 private:
  double since_;
};

// An immutable array of objects (NSArray).
class Array : public Object {
 public:
  Array(Class* isa, std::vector<Ref<Object>> items) : Object(isa), items_(std::move(items)) {}
  static Class* runtimeClass();
  static Ref<Array> make(std::vector<Ref<Object>> items);

  [[nodiscard]] std::size_t count() const { return items_.size(); }
  [[nodiscard]] Object* objectAtIndex(std::size_t index) const;
  [[nodiscard]] const std::vector<Ref<Object>>& items() const { return items_; }
  // The items that are instances of T, in order.
  template <class T>
  [[nodiscard]] std::vector<Ref<T>> itemsOfKind() const {
    std::vector<Ref<T>> kind;
    for (const Ref<Object>& item : items_) {
      if (Ref<T> typed = as<T>(item)) kind.push_back(std::move(typed));
    }
    return kind;
  }

 private:
  std::vector<Ref<Object>> items_;
};

// An immutable dictionary with string keys (NSDictionary). Keys are looked
// up exactly as written.
class Dictionary : public Object {
 public:
  using Entries = std::map<std::string, Ref<Object>, std::less<>>;
  Dictionary(Class* isa, Entries entries) : Object(isa), entries_(std::move(entries)) {}
  static Class* runtimeClass();
  static Ref<Dictionary> make(Entries entries);

  // An absent key reads as absent.
  [[nodiscard]] Object* objectForKey(std::string_view key) const;
  [[nodiscard]] const Entries& entries() const { return entries_; }
  [[nodiscard]] std::size_t count() const { return entries_.size(); }

 private:
  Entries entries_;
};

// A heap copy of a callable (a copied block). Blocks are reference counted
// like any object, so a test can see a block released without being called.
class BlockBase : public Object {
 public:
  using Object::Object;
  static Class* runtimeClass();
};

template <class Signature>
class Block;

template <class R, class... A>
class Block<R(A...)> : public BlockBase {
 public:
  R operator()(A... args) const { return invoke_(this, std::forward<A>(args)...); }

 protected:
  // The copied body is reached through one plain function pointer, as a
  // block's invoke function is.
  using Invoke = R (*)(const Block*, A...);
  Block(Class* isa, Invoke invoke) : BlockBase(isa), invoke_(invoke) {}

 private:
  Invoke invoke_;
};

namespace detail {
template <class F, class R, class... A>
class BlockWithBody final : public Block<R(A...)> {
 public:
  BlockWithBody(Class* isa, F body) : Block<R(A...)>(isa, &call), body_(std::move(body)) {}

 private:
  static R call(const Block<R(A...)>* self, A... args) {
    return static_cast<const BlockWithBody*>(self)->body_(std::forward<A>(args)...);
  }
  F body_;
};

template <class Signature>
struct BlockOf;
template <class R, class... A>
struct BlockOf<R(A...)> {
  template <class F>
  using With = BlockWithBody<F, R, A...>;
};
}  // namespace detail

template <class Signature, class F>
Ref<Block<Signature>> makeBlock(F&& body) {
  using Made = typename detail::BlockOf<Signature>::template With<std::decay_t<F>>;
  return std::make_shared<Made>(BlockBase::runtimeClass(), std::forward<F>(body));
}

// A block the host handed over, checked against the signature the caller
// expects. On the platform a block of the wrong type is undefined behaviour;
// here it reads as no block.
template <class Signature>
Block<Signature>* asBlock(Object* object) {
  return dynamic_cast<Block<Signature>*>(object);
}

// A strong reference to a block the host handed over, when it is one of this
// signature; none otherwise.
template <class Signature>
Ref<Block<Signature>> retainBlock(BlockBase* block) {
  Block<Signature>* typed = asBlock<Signature>(block);
  return typed != nullptr ? typed->template retainAs<Block<Signature>>() : nullptr;
}

namespace detail {
template <class R, class... A>
struct BlockTrampoline {
  static Canonical<R> call(IMP imp, Object* self, SEL /*sel*/, Canonical<A>... args) {
    auto* block = static_cast<Block<R(Object*, A...)>*>(imp->block.get());
    return (*block)(self, static_cast<A>(args)...);
  }
};
}  // namespace detail

// Turns a block taking the receiver and the method's arguments into an
// implementation (imp_implementationWithBlock). A block-made implementation
// does not receive the selector. It lives for the life of the process.
template <class R, class... A>
IMP imp_implementationWithBlock(const Ref<Block<R(Object*, A...)>>& block) {
  auto imp = std::make_unique<Imp>(
      Imp{detail::signatureId<R, A...>(), kEncodingDigest<R, A...>,
          reinterpret_cast<ErasedFunction>(&detail::BlockTrampoline<R, A...>::call), block});
  return retainImp(std::move(imp));
}

// Convenience constructors for host code and tests.
inline Ref<String> str(std::string_view text) { return String::make(text); }

}  // namespace tovik
