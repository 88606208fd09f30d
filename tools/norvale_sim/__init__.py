"""The Norvale meter simulator and what the other tools in this folder share with it."""
