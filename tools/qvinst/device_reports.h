// Output of qvinst list, find and install, as plain text and as JSON.
//
// Plain text: one device per line, its fields separated by a tab (instance
// ID, first hardware ID, compact ID), "-" for an empty field. find puts "* "
// in front of the device the library would choose and "  " in front of the
// others, between a "wanted:"/"rule:" head and a "chosen:" line.
#pragma once

#include "tools/qvinst/device_rows.h"

#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// "first 19 characters" or "whole text".
std::string rule_name(idconv::match_rule rule);

std::string list_text(const std::vector<device_row>& devices);
// {"devices":[{"instance_id":...,"hardware_id":...,"compact_id":...},...]}
std::string list_json(const std::vector<device_row>& devices);

std::string find_text(const find_outcome& outcome);
// {"wanted":...,"rule":...,"devices":[{...,"chosen":bool},...],"chosen":ID or null}
std::string find_json(const find_outcome& outcome);
// exit_success when the library would choose a device, else the exit
// status of QV7_E_NO_DEVICE.
int find_exit_status(const find_outcome& outcome);

// "CODE NAME: meaning"
std::string install_text(int code);
// {"inf":...,"compact_id":...,"result":N,"name":...,"meaning":...,"exit_status":N}
std::string install_json(std::string_view inf_path, std::string_view compact_id, int code);

}  // namespace qvinst
