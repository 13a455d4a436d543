# Every dependency comes from Debian's packages (scripts/setup.sh installs them).
find_package(Threads REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n)
find_package(CURL REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PCRE2_16 REQUIRED IMPORTED_TARGET libpcre2-16)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(GTest REQUIRED)
if(KESTRANO_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
  # Qt finds its fonts through fontconfig; the program starts fontconfig early, beside Qt's own start.
  pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
endif()
