#ifndef VIEWKEYS_H
#define VIEWKEYS_H

// Ctrl+Home and Ctrl+End in the read-only view. The view knows Home and End
// without a modifier only; these do the same: the first line, or the last
// one, where newest mode follows the end again as it does after End.

class QAbstractScrollArea;

// The filter object is a child of view.
void installViewKeys(QAbstractScrollArea *view);

#endif // VIEWKEYS_H
