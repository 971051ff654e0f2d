#pragma once
// The checks a field's text must pass when the user leaves it with Tab or
// Enter, and the rules the OK command applies again.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "setup/choice_rules.h"

class SetupContext;

// 1 when the text is accepted, 0 after a refusal that showed its message.
int CheckField(SetupContext& context, int controlId, const std::string& text);

int CheckSetupType(SetupContext& context, const std::string& text);
int CheckBitSize(SetupContext& context, const std::string& text);
int CheckPort(SetupContext& context, const std::string& text);
int CheckPassword(SetupContext& context, const std::string& text);
int CheckPasswordRepeat(SetupContext& context, const std::string& text);

// The rule of the field behind a control; nothing for a control without one.
std::optional<ChoiceField> FieldOfControl(int controlId);
// The longest text a control's field takes, and the refusal for a longer one.
std::size_t FieldLimit(int controlId);
std::optional<std::string> LengthProblem(int controlId, std::string_view text);
