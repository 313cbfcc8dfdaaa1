// Small edits of a scenario's JSON shared by the ready-made scenario builders.
#pragma once

#include <rapidjson/document.h>

#include <utility>

namespace cenario {

using TAloc = rapidjson::Document::AllocatorType;

// Sets member ANome of O to V, replacing it when it is there.
inline void DefinirMembro(rapidjson::Value& O, const char* ANome, rapidjson::Value V, TAloc& A) {
  auto It = O.FindMember(ANome);
  if (It != O.MemberEnd())
    It->value = std::move(V);
  else
    O.AddMember(rapidjson::Value(ANome, A), std::move(V), A);
}

// Member ANome of O as an object, made (or replaced) when it is not one.
inline rapidjson::Value& Objeto(rapidjson::Value& O, const char* ANome, TAloc& A) {
  auto It = O.FindMember(ANome);
  if (It == O.MemberEnd() || !It->value.IsObject()) {
    DefinirMembro(O, ANome, rapidjson::Value(rapidjson::kObjectType), A);
    It = O.FindMember(ANome);
  }
  return It->value;
}

}  // namespace cenario
