#pragma once
// How a class of the promotion model describes its data members to the JSON mapping: one table per
// class, one TMember per data member, built by Member<&Class::FName>("FName", markers...). The kind
// of a member follows from its C++ type:
//
//   std::int32_t, std::int64_t       integer           std::string                 text
//   double                           floating point    Decimal                     fixed point, 4 places
//   std::unique_ptr<C>               member object     std::vector<std::string>    array of text
//   TObjectList<C>                   array of objects  (needs Key and WriteExcluded)
//   std::optional<TObjectList<C>>    list              (needs GenericListReflectAttribute)
//   DateTime                         date-time         (needs SuppressZeroAttribute)
//
// A class C taking part in the mapping has `static std::span<const TMember<C>> Members()`, listing
// its members in declaration order; that order is the order in which they are written.

#include <concepts>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/datetime.h"
#include "base/decimal.h"
#include "base/error.h"
#include "base/json_writer.h"
#include "promotions/dto_numbers.h"
#include "promotions/json_document.h"
#include "promotions/suppress_zero_date.h"

namespace varenta {

// An owning list of child objects, in the order of the text.
template <class T>
using TObjectList = std::vector<std::unique_ptr<T>>;

// Markers, given to Member() after the name.
struct Key {  // the member's JSON key, matched exactly (letter case counts)
  std::string_view key;
};
struct WriteExcludedAttribute {};  // filled when reading, never written
inline constexpr WriteExcludedAttribute WriteExcluded;
struct SuppressZeroAttribute {};  // a date-time read and written as ISO 8601 text, no date as ""
template <auto Property>
struct GenericListReflectAttribute {};  // a list written as the array of objects Property returns

template <class Owner>
struct TMember {
  std::string_view name;  // the data member's name, "FDescripcion"
  std::string_view key;   // the explicit key; empty when the key comes from the name
  std::string writtenKey;
  bool writeExcluded = false;
  bool isArray = false;  // an array member, which a top-level JSON array may fill
  // Stores a value other than null; false when the value's kind does not suit the member.
  // `pristine`: the member still holds what the owner's constructor gave it, the owner having been
  // created for the text being read.
  bool (*read)(Owner&, const JsonNode&, bool pristine) = nullptr;
  void (*clear)(Owner&) = nullptr;  // a JSON null; nullptr when a null leaves the member as it is
  void (*write)(Owner&, JsonWriter&) = nullptr;
};

// `fresh`: the object was created for this text, so its members hold their constructor's values.
template <class T>
void FillObject(T& object, const JsonNode& json, bool fresh);
template <class T>
void WriteObject(T& object, JsonWriter& out);

struct TGenericListFieldInterceptor {
  // Writes the list that Property (a getter of Data) returns as a JSON array of objects.
  template <auto Property, class Owner>
  static void ObjectsConverter(Owner& Data, JsonWriter& out) {
    out.beginArray();
    for (const auto& element : (Data.*Property)()) WriteObject(*element, out);
    out.endArray();
  }
};

namespace dto_detail {

template <class>
struct MemberPointer;
template <class C, class V>
struct MemberPointer<V C::*> {
  using Owner = C;
  using Value = V;
};

template <class>
inline constexpr bool kIsObject = false;
template <class C>
inline constexpr bool kIsObject<std::unique_ptr<C>> = true;
template <class>
inline constexpr bool kIsObjectArray = false;
template <class C>
inline constexpr bool kIsObjectArray<TObjectList<C>> = true;
template <class>
inline constexpr bool kIsList = false;
template <class C>
inline constexpr bool kIsList<std::optional<TObjectList<C>>> = true;
template <class>
inline constexpr bool kIsListMarker = false;
template <auto P>
inline constexpr bool kIsListMarker<GenericListReflectAttribute<P>> = true;

// The getter named by the GenericListReflectAttribute among the markers.
template <class... Markers>
struct ListProperty;
template <auto P, class... Rest>
struct ListProperty<GenericListReflectAttribute<P>, Rest...> {
  static constexpr auto value = P;
};
template <class Other, class... Rest>
struct ListProperty<Other, Rest...> : ListProperty<Rest...> {};

template <class V>
concept Integer = std::integral<V> && !std::same_as<V, bool>;

// A child object filled from a JSON object; anything else is refused like a top-level value.
template <class C>
std::unique_ptr<C> objectFrom(const JsonNode& json) {
  if (!json.IsObject()) throw EConvertError("The input value is not a valid Object");
  auto object = std::make_unique<C>();
  FillObject(*object, json, true);
  return object;
}

template <auto M>
bool read(typename MemberPointer<decltype(M)>::Owner& owner, const JsonNode& json,
          [[maybe_unused]] bool pristine) {
  using V = typename MemberPointer<decltype(M)>::Value;
  V& member = owner.*M;
  const bool scalar = isScalar(json);
  if constexpr (Integer<V>) {
    if (scalar) member = integerFromText<V>(scalarText(json));
    return scalar;
  } else if constexpr (std::same_as<V, double>) {
    if (scalar) member = floatFromText(scalarText(json));
    return scalar;
  } else if constexpr (std::same_as<V, Decimal>) {
    if (scalar) member = decimalFromText(scalarText(json));
    return scalar;
  } else if constexpr (std::same_as<V, std::string>) {
    if (scalar) member = scalarText(json);
    return scalar;
  } else if constexpr (std::same_as<V, DateTime>) {
    if (!json.IsString()) return false;  // a string or a number
    member = TSuppressZeroDateInterceptor::StringReverter(scalarText(json));
    return true;
  } else if constexpr (kIsObject<V>) {
    using C = typename V::element_type;
    if (!json.IsObject()) return false;
    // A nested object that cannot be read leaves the member's object in place. The object the
    // owner's constructor made is filled where it is rather than replaced by a new one just like
    // it; should that fail, it gives way to a new default one.
    const bool inPlace = pristine && member;
    try {
      if (inPlace)
        FillObject(*member, json, true);
      else
        member = objectFrom<C>(json);
    } catch (const Error&) {
      if (inPlace) member = std::make_unique<C>();
    }
    return true;
  } else if constexpr (kIsObjectArray<V>) {
    if (!json.IsArray()) return false;
    V fresh;
    fresh.reserve(json.Size());
    for (const JsonNode& item : json.GetArray())
      fresh.push_back(objectFrom<typename V::value_type::element_type>(item));
    member = std::move(fresh);
    return true;
  } else if constexpr (std::same_as<V, std::vector<std::string>>) {
    if (!json.IsArray()) return false;
    V texts;
    texts.reserve(json.Size());
    for (const JsonNode& item : json.GetArray()) {
      if (!isScalar(item)) return false;
      texts.emplace_back(scalarText(item));
    }
    member = std::move(texts);
    return true;
  } else {
    static_assert(kIsList<V>, "a member of a kind the mapping does not know");
    return false;  // a list is built from its array member, never read itself
  }
}

template <auto M>
void clear(typename MemberPointer<decltype(M)>::Owner& owner) {
  owner.*M = typename MemberPointer<decltype(M)>::Value();
}

template <auto M>
void write(typename MemberPointer<decltype(M)>::Owner& owner, JsonWriter& out) {
  using V = typename MemberPointer<decltype(M)>::Value;
  const V& member = owner.*M;
  if constexpr (Integer<V>) {
    out.integer(member);
  } else if constexpr (std::same_as<V, double>) {
    out.number(member);
  } else if constexpr (std::same_as<V, Decimal>) {
    out.number(member.toDouble());
  } else if constexpr (std::same_as<V, std::string>) {
    out.string(member);
  } else if constexpr (std::same_as<V, DateTime>) {
    out.string(TSuppressZeroDateInterceptor::StringConverter(member));
  } else if constexpr (kIsObject<V>) {
    if (member)
      WriteObject(*member, out);
    else
      out.null();
  } else {
    static_assert(std::same_as<V, std::vector<std::string>>, "this kind is written through a marker");
    out.beginArray();
    for (const std::string& text : member) out.string(text);
    out.endArray();
  }
}

template <auto M, auto Property>
void writeList(typename MemberPointer<decltype(M)>::Owner& owner, JsonWriter& out) {
  TGenericListFieldInterceptor::ObjectsConverter<Property>(owner, out);
}

// The key a member is written under: the member's name without its "F", first letter lower-cased.
inline std::string camelKey(std::string_view name) {
  std::string key(name.substr(1));
  if (!key.empty() && key[0] >= 'A' && key[0] <= 'Z') key[0] = static_cast<char>(key[0] - 'A' + 'a');
  return key;
}

}  // namespace dto_detail

template <auto M, class... Markers>
TMember<typename dto_detail::MemberPointer<decltype(M)>::Owner> Member(std::string_view name,
                                                                       Markers... markers) {
  using namespace dto_detail;
  using V = typename MemberPointer<decltype(M)>::Value;
  constexpr bool excluded = (std::same_as<Markers, WriteExcludedAttribute> || ...);
  constexpr bool suppressZero = (std::same_as<Markers, SuppressZeroAttribute> || ...);
  constexpr bool listMarker = (kIsListMarker<Markers> || ...);
  static_assert(std::same_as<V, DateTime> == suppressZero, "a date-time member needs SuppressZeroAttribute");
  static_assert(kIsList<V> == listMarker, "a list member needs GenericListReflectAttribute");
  static_assert(!kIsObjectArray<V> || excluded, "an array of objects is written through its list");

  TMember<typename MemberPointer<decltype(M)>::Owner> member;
  member.name = name;
  (
      [&](const auto& marker) {
        if constexpr (std::same_as<std::decay_t<decltype(marker)>, Key>) member.key = marker.key;
      }(markers),
      ...);
  member.writtenKey = member.key.empty() ? camelKey(name) : std::string(member.key);
  member.writeExcluded = excluded;
  member.isArray = kIsObjectArray<V> || std::same_as<V, std::vector<std::string>>;
  member.read = &read<M>;
  if constexpr (!suppressZero) member.clear = &clear<M>;
  if constexpr (listMarker) {
    member.write = &writeList<M, ListProperty<Markers...>::value>;
  } else if constexpr (!excluded) {
    member.write = &write<M>;
  }
  return member;
}

}  // namespace varenta
