#include "platform/variant.h"

#include <utility>

namespace platform {

Variant Variant::FromText(std::string s) {
  Variant v;
  v.kind = Kind::String;
  v.text = std::move(s);
  return v;
}

Variant Variant::FromLong(std::int32_t value) {
  Variant v;
  v.kind = Kind::Long;
  v.integer = value;
  return v;
}

Variant Variant::FromInteger(std::int16_t value) {
  Variant v;
  v.kind = Kind::Integer;
  v.integer = value;
  return v;
}

Variant Variant::FromDouble(double value) {
  Variant v;
  v.kind = Kind::Double;
  v.number = value;
  return v;
}

Variant Variant::FromSingle(float value) {
  Variant v;
  v.kind = Kind::Single;
  v.number = static_cast<double>(value);
  return v;
}

Variant Variant::FromCurrency(double value) {
  Variant v;
  v.kind = Kind::Currency;
  v.number = value;
  return v;
}

Variant Variant::FromBoolean(bool value) {
  Variant v;
  v.kind = Kind::Boolean;
  v.boolean = value;
  return v;
}

Variant Variant::FromDate(OleDate d) {
  Variant v;
  v.kind = Kind::Date;
  v.number = d.serial;
  return v;
}

Variant Variant::MakeEmpty() {
  return Variant{};
}

Variant Variant::MakeNull() {
  Variant v;
  v.kind = Kind::Null;
  return v;
}

}  // namespace platform
