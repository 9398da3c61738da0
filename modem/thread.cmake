# quelto_modem_thread: ModemControl and the modem thread, joining the pure
# modem (quelto_modem) to the sound stream (quelto_audio).
add_library(quelto_modem_thread STATIC ${CMAKE_SOURCE_DIR}/modem/modem_control.cpp)
target_include_directories(quelto_modem_thread PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quelto_modem_thread
  PUBLIC quelto_modem quelto_audio Threads::Threads
  PRIVATE quelto_settings)
