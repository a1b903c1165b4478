# The hardware-ID corpus: every vendor and device of the PCI and USB ID lists
# and every PnP vendor code, written as the hardware IDs the platform reports,
# one per line, generated at build time. Used by the corpus tests and the
# conversion benchmarks.
#
# Provides the INTERFACE target hardware_id_corpus: its include directory
# holds hardware_id_corpus.h, and QV_HARDWARE_ID_CORPUS names the file. A
# consumer also adds a dependency on hardware_id_corpus_file so the file is
# generated before it runs.
include_guard(GLOBAL)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_file(QV_PCI_IDS pci.ids PATHS /usr/share/misc /usr/share/hwdata NO_DEFAULT_PATH REQUIRED)
find_file(QV_USB_IDS usb.ids PATHS /usr/share/misc /usr/share/hwdata /var/lib/usbutils
  NO_DEFAULT_PATH REQUIRED)
# Optional: without it the generator derives vendor codes from the PCI list.
find_file(QV_PNP_IDS pnp.ids PATHS /usr/share/hwdata /usr/share/misc NO_DEFAULT_PATH)

set(QV_HARDWARE_ID_CORPUS ${CMAKE_BINARY_DIR}/corpus/hardware_ids.txt)
set(qv_corpus_generator ${CMAKE_CURRENT_LIST_DIR}/generate_hardware_id_corpus.py)
set(qv_corpus_args --pci ${QV_PCI_IDS} --usb ${QV_USB_IDS})
set(qv_corpus_inputs ${QV_PCI_IDS} ${QV_USB_IDS})
if(QV_PNP_IDS)
  list(APPEND qv_corpus_args --pnp ${QV_PNP_IDS})
  list(APPEND qv_corpus_inputs ${QV_PNP_IDS})
endif()

add_custom_command(
  OUTPUT ${QV_HARDWARE_ID_CORPUS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/corpus
  COMMAND ${Python3_EXECUTABLE} ${qv_corpus_generator} ${qv_corpus_args}
          --out ${QV_HARDWARE_ID_CORPUS}
  DEPENDS ${qv_corpus_generator} ${qv_corpus_inputs}
  COMMENT "Generating the hardware-ID corpus"
  VERBATIM)
add_custom_target(hardware_id_corpus_file DEPENDS ${QV_HARDWARE_ID_CORPUS})

add_library(hardware_id_corpus INTERFACE)
target_include_directories(hardware_id_corpus INTERFACE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(hardware_id_corpus INTERFACE
  QV_HARDWARE_ID_CORPUS="${QV_HARDWARE_ID_CORPUS}")
