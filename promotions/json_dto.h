#pragma once
// The JSON mapping of the promotion objects: TJsonDTO gives a class that describes its members
// (dto_member.h) the text property AsJson, read and assigned.
//
// Assigning AsJson fills the object from JSON text, key by key in the order of the text
// (duplicates too): a key names the member whose explicit key it equals exactly, or else the member
// "F" + key, letter case ignored, unless that member has an explicit key or is write-excluded.
// Unknown keys are ignored; members whose key is absent keep their values; a null clears a member
// (no object, empty text, zero, empty array) except a date, which it leaves alone. Text that is not
// JSON changes nothing and raises nothing; so does null and, for the promotion classes, a top-level
// array. Any other top-level value raises EConvertError "The input value is not a valid Object"; so
// does a value whose kind does not suit its member, except inside a nested member object, which
// then keeps the object it had. Whatever was stored before an error stays.
//
// Reading AsJson writes every member that is not write-excluded, in declaration order, compact and
// with every character outside printable ASCII escaped.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/json_writer.h"
#include "promotions/dto_member.h"
#include "promotions/json_document.h"

namespace varenta {

namespace dto_detail {

// Letter case ignored for A to Z only; the texts are of the same length.
inline bool sameIgnoringCase(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i], y = b[i];
    if (x != y && ((x | 0x20) != (y | 0x20) || (x | 0x20) < 'a' || (x | 0x20) > 'z')) return false;
  }
  return true;
}

}  // namespace dto_detail

namespace dto_detail {

// The keys a member answers to exactly, in the order of precedence: the explicit keys, then the
// key each member without one is written under, for the member that answers to that name first.
// Most keys in a text are written so; any other spelling goes through the rules in full.
template <class T>
std::vector<std::pair<std::string_view, const TMember<T>*>> exactKeys() {
  const std::span<const TMember<T>> members = T::Members();
  std::vector<std::pair<std::string_view, const TMember<T>*>> keys;
  for (const TMember<T>& member : members)
    if (!member.key.empty()) keys.emplace_back(member.key, &member);
  for (const TMember<T>& member : members) {
    if (!member.key.empty() || member.writeExcluded) continue;
    bool first = true;
    for (const TMember<T>* other = members.data(); other != &member; ++other)
      first = first && !(other->name.size() == member.name.size() &&
                         sameIgnoringCase(other->name.substr(1), member.name.substr(1)));
    if (first) keys.emplace_back(member.writtenKey, &member);
  }
  return keys;
}

}  // namespace dto_detail

template <class T>
const TMember<T>* FindMember(std::string_view key) {
  static const auto exact = dto_detail::exactKeys<T>();
  for (const auto& [answer, member] : exact)
    if (answer == key) return member;
  const std::span<const TMember<T>> members = T::Members();
  for (const TMember<T>& member : members)
    if (!member.key.empty() && member.key == key) return &member;
  for (const TMember<T>& member : members)
    if (member.name.size() == key.size() + 1 && dto_detail::sameIgnoringCase(member.name.substr(1), key))
      return member.key.empty() && !member.writeExcluded ? &member : nullptr;
  return nullptr;
}

template <class T>
void FillObject(T& object, const JsonNode& json, bool fresh) {
  const TMember<T>* first = T::Members().data();
  std::uint64_t assigned = 0;  // members given a value by an earlier key of this text
  for (const auto& entry : json.GetObject()) {
    const std::string_view key(entry.name.GetString(), entry.name.GetStringLength());
    const TMember<T>* member = FindMember<T>(key);
    if (!member) continue;
    const std::size_t index = static_cast<std::size_t>(member - first);
    const bool pristine = fresh && index < 64 && !(assigned >> index & 1);
    if (index < 64) assigned |= std::uint64_t{1} << index;
    if (entry.value.IsNull()) {
      if (member->clear) member->clear(object);
    } else if (!member->read(object, entry.value, pristine)) {
      throw EConvertError("The value of \"" + std::string(key) + "\" does not convert to " +
                          std::string(member->name));
    }
  }
}

template <class T>
void WriteObject(T& object, JsonWriter& out) {
  out.beginObject();
  for (const TMember<T>& member : T::Members()) {
    if (member.writeExcluded) continue;
    out.key(member.writtenKey);
    member.write(object, out);
  }
  out.endObject();
}

// Gives a list member its list the first time it is asked for: the list takes over the elements
// that the parser put into the array member. A list once built is never rebuilt, so a list read
// before the object is filled stays empty.
class TArrayMapper {
 protected:
  template <class C>
  static const TObjectList<C>& ListFromArray(std::optional<TObjectList<C>>& list, TObjectList<C>& array) {
    if (!list) list.emplace(std::exchange(array, {}));
    return *list;
  }
};

template <class T>
class TJsonDTO : public TArrayMapper {
 public:
  // Meant for a freshly created object.
  void AsJson(std::string_view json) {
    const ParsedJson parsed(json);
    if (!parsed.valid()) return;
    const JsonNode& value = parsed.root();
    if (value.IsObject()) return FillObject(self(), value, false);
    if (value.IsArray() && (offerArray("Items", value) || offerArray("Results", value))) return;
    if (!value.IsNull()) throw EConvertError("The input value is not a valid Object");
  }

  std::string AsJson() {
    JsonWriter out(JsonEscaping::kAsciiOnly);
    WriteObject(self(), out);
    return out.text();
  }

  std::string ToString() { return AsJson(); }

 private:
  T& self() { return static_cast<T&>(*this); }

  // A top-level array goes to the array member answering to key. True when that completes, also
  // when no member answers; false when the member is no array member or refuses the array.
  bool offerArray(std::string_view key, const JsonNode& array) {
    const TMember<T>* member = FindMember<T>(key);
    if (!member) return true;
    if (!member->isArray) return false;
    try {
      return member->read(self(), array, false);
    } catch (const Error&) {
      return false;
    }
  }
};

}  // namespace varenta
