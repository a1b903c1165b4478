// The library's table of result codes, as qvinst reports them.
#include "tools/qvinst/result_codes.h"

namespace qvinst {

result_code_info describe_result(int code) {
    if (const result_code_info* row = result_codes::find(code)) {
        return *row;
    }
    return {code, "UNKNOWN", "not a result code of QUORVANT.dll", exit_unknown_result};
}

}  // namespace qvinst
