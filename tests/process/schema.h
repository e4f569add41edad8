// JSON Schema (draft 2020-12) validation for the tests, with the keywords the protocol's schemas
// in docs/ use; a keyword outside that set is a fault of the schema, so none is ignored silently.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace schema {

class Validator {
  public:
    explicit Validator(nlohmann::json document);
    /// The first violation found, as "path: what"; absent when the value fits.
    std::optional<std::string> check(const nlohmann::json& value) const;

  private:
    std::optional<std::string> check(const nlohmann::json& value, const nlohmann::json& schema,
                                     const std::string& path) const;
    const nlohmann::json& resolve(const std::string& reference) const;
    nlohmann::json document;
};

/// docs/reply.schema.json, read once.
const Validator& replies();

}  // namespace schema
