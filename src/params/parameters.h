// The set's parameters: one per name across its programs, each value and
// where it came from (--set, then params.toml, then the initialiser), and the
// uniform calls that hand a changed value to the programs that use it.
#pragma once

#include "params/declarations.h"
#include "params/values.h"
#include "shader/programs.h"

#include <string>
#include <string_view>
#include <vector>

enum class ParamOrigin { kInitialiser, kFile, kCommandLine, kLive };

struct Parameter {
    ParamDeclaration declared; // its first declaration in the set's order
    ParamValue value;
    ParamOrigin origin;
};

// A value of params.toml, with where it stands there.
struct SavedValue {
    std::string name;
    GivenValue value;
    long line;
    long column;
};

struct Parameters {
    std::vector<Parameter> list; // the image's first, then buffer A's to D's
    unsigned changes = 0;        // counts changes of any value and rebuilds of the list
    std::vector<Setting> settings;
    std::vector<SavedValue> saved;
};

// After the programs are built or rebuilt: finds the parameters of the image
// and the running buffer passes. A parameter declared before keeps its value
// unless it came from its initialiser; a new one takes its --set, else its
// params.toml value, else its initialiser. Prints a line for each --set and
// saved value no program declares, and each saved value of the wrong shape.
// A --set of the wrong shape is printed too, unless startUp, when the first
// is returned instead (bad usage). Asks GL for the locations of the
// parameters a newly linked program uses, nothing for a set without any.
std::string updateParameters(Parameters &parameters, Programs &programs, bool startUp);

Parameter *findParameter(Parameters &parameters, std::string_view name);

// A value set from the panel or OSC.
void setParameter(Parameters &parameters, Parameter &parameter, const ParamValue &value);

// Every parameter back to its initialiser.
void resetParameters(Parameters &parameters);

// params.toml was read again: its values replace all but those of --set, and
// a value that came from the file and is gone from it returns to its
// initialiser. Prints a line for each saved value no program declares or of
// the wrong shape.
void takeSavedValues(Parameters &parameters, std::vector<SavedValue> saved);

// On the current program: one uniform call for each parameter it uses whose
// value differs from what the program holds. Nothing when no value changed
// since its last call.
void applyParameters(const Parameters &parameters, ProgramParameters &program);
