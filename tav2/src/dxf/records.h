// A DXF record written by walking its kind's fields for the release.
#pragma once

#include <array>
#include <vector>

#include "tav2/src/dxf/tags.h"
#include "tav2/src/schema.h"
#include "tav2/src/values.h"

namespace tav2::dxf {

class Records {
 public:
  Records(Tags& tags, const Values& values);

  // The record's name (group 0) and the fields its release has.
  void Write(schema::Kind kind, const Record& r);

 private:
  // A field of the release with what its group code implies worked out once
  // per save rather than once per record.
  struct Compiled {
    schema::FieldSpec row;
    ValueType type;
    bool toDegrees;  // an angle the model holds in radians
    DirectNumber direct;
  };
  void Field(const Compiled& c, const Record& r);

  Tags& t_;
  const Values& v_;
  std::array<std::vector<Compiled>, static_cast<size_t>(schema::Kind::Count)> fields_;
};

// The handle of a structural object a description names (schema::kRef...).
Handle StructuralHandle(const Drawing& d, std::string_view ref);

// The handle of the text style a header variable names, the first style when
// it names none.
Handle StyleHandle(const Values& v, std::string_view headerVar);

}  // namespace tav2::dxf
