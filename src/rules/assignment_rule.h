#pragma once
/// The assignment-operator rule: "=!", "=+" and "=-" are probably misspelt
/// "!=", "+=" and "-=", and "==!" a misspelt "!=".

namespace stylo {

/// Examines the character under the cursor. Moves the cursor only after
/// "==!", onto the second '=', so that the "=!" inside it is not reported a
/// second time.
void check_assignment_operator();

}  // namespace stylo
