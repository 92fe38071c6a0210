# The section-stratum construction, a static library the module links: sample list and
# vertical projection (stratum.cpp). Included from sect/CMakeLists.txt.
add_library(kpstratum STATIC ${CMAKE_CURRENT_LIST_DIR}/stratum.cpp)
target_include_directories(kpstratum PUBLIC ${CMAKE_SOURCE_DIR} ${KP_PLATFORM_INCLUDE})
target_link_libraries(kpstratum PUBLIC zvtopo kpmfc)
kp_gbk(kpstratum)
