# Common compile settings for every target of the project.
add_library(tavlun_warnings INTERFACE)
target_compile_features(tavlun_warnings INTERFACE cxx_std_20)
target_compile_options(tavlun_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Wcast-qual -Wformat=2>
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>)
target_compile_definitions(tavlun_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
if(TAVLUN_WERROR)
  target_compile_options(tavlun_warnings INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
endif()
if(TAVLUN_SANITIZE)
  target_compile_options(tavlun_warnings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tavlun_warnings INTERFACE -fsanitize=address,undefined)
endif()
