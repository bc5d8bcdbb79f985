#include "mail/mail_body.h"

// The body edit dialog comes with the e-mail pages of the add-port wizard;
// until then the job keeps the texts read from the registry.
INT_PTR EditMailBody(EmailSettings*)
{
    return IDOK;
}
