#include <gtest/gtest.h>

#include "platform/sockets.h"
#include "settings/settings.h"
#include "tests/support/recording_sink.h"
#include "tests/support/test_lookup.h"

SinkScope::SinkScope(OutputSink* sink) {
  ResetSettings();
  CancelFlag = 0;
  QuitFlag = 0;
  UseTestSink(sink);
}

SinkScope::~SinkScope() {
  CloseConnection();
  UseTestSink(nullptr);
  ResetSettings();
  CancelFlag = 0;
  QuitFlag = 0;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!platform::StartSockets()) return 1;
  const int result = RUN_ALL_TESTS();
  platform::StopSockets();
  return result;
}
