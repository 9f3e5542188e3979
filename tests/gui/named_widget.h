#pragma once
// Controls found by their designer names, which the windows keep as
// objectNames.
#include <gtest/gtest.h>

#include <QObject>

namespace quorvel::test {

template <class T>
T* named(const QObject& parent, const char* objectName) {
  T* child = parent.findChild<T*>(objectName);
  if (!child) ADD_FAILURE() << "no " << objectName;
  return child;
}

}  // namespace quorvel::test
