// The automatic upgrade library; its classes arrive with the transfer client.
