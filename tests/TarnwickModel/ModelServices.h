#pragma once
// The process-wide services the model uses (preview list, device list, recording ring, user,
// settings), released as the program's shut-down releases them and free to be made again,
// as after a new start. Runs after every test; a test calls it to "restart" or before its
// folders go.
namespace modeltest {

void ResetServices();

}  // namespace modeltest
