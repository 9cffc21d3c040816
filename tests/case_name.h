// Names the cases of a parameterised test after the `name` field of their parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

template <class Case>
std::string case_name(const testing::TestParamInfo<Case> &info) {
  return info.param.name;
}
