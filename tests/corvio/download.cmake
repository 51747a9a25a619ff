# Tests of the downloader and this system's HTTP fetcher against a real server on
# loopback; on Windows they run under Wine.
zent_add_test(NAME corvio_download_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/download_test.cpp
  LIBS ${corvio_base_libs} LABELS integration TIMEOUT 180)
