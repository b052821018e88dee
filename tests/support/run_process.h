// Runs a program to its end and collects what it wrote.
#pragma once

#include <Poco/Pipe.h>
#include <Poco/PipeStream.h>
#include <Poco/Process.h>

#include <iterator>
#include <string>
#include <vector>

namespace excursa::testing {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadAll(Poco::Pipe& pipe) {
    Poco::PipeInputStream in(pipe);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// For programs that write little: reading one output after the other never stalls them.
inline Outcome RunProcess(const std::string& program, const std::vector<std::string>& args) {
    Poco::Pipe out;
    Poco::Pipe err;
    Poco::ProcessHandle process = Poco::Process::launch(program, args, nullptr, &out, &err);
    Outcome outcome;
    outcome.out = ReadAll(out);
    outcome.err = ReadAll(err);
    outcome.exitCode = process.wait();
    return outcome;
}

}  // namespace excursa::testing
